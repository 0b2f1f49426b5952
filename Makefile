# Two commands for a fresh Debian machine:
#   make demo   installs what is missing, builds, and plays the built-in sample disc image
#   make test   installs what is missing, builds, and runs every test
.PHONY: all deps build test demo bench clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@bash scripts/build.sh

test: build
	@bash scripts/run-tests.sh

demo: build
	@bash scripts/demo.sh

bench: build
	@bash bench/run.sh

clean:
	rm -rf build
