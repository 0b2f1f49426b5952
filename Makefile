# Two commands for a fresh Debian machine:
#   make demo   installs what is missing, builds, and plays the built-in sample disc image
#   make test   installs what is missing, builds, and runs every test
# Packaging (packaging/):
#   make package                             the Debian package, build/velloran_<version>_<arch>.deb
#   make windows-installer LIBVLC_DIR=<dir>  the Windows installer, build/velloran-<version>-setup.exe,
#                                            with the libVLC for Windows found in <dir>
.PHONY: all deps build test demo bench clean package windows-installer

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@bash scripts/build.sh

test: build
	@bash scripts/run-tests.sh

demo: build
	@bash scripts/demo.sh

package: build
	@bash packaging/build-deb.sh

# What LIBVLC_DIR lacks is said before anything is built.
windows-installer:
	@bash packaging/build-windows-installer.sh --check "$(LIBVLC_DIR)"
	@$(MAKE) --no-print-directory build
	@bash packaging/build-windows-installer.sh "$(LIBVLC_DIR)"

bench: build
	@bash bench/run.sh

clean:
	rm -rf build
