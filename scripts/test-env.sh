# Sourced by the test and demo scripts: a private X display and a fresh Wine prefix.
filter_wine() { grep -v -e 'it looks like wine32 is missing' -e 'multiarch' -e 'apt-get install wine32' -e '^wine: created the configuration' -e '^wine: configuration in' -e 'wine32:i386' || true; }

start_test_env() {
    export WINEDEBUG=${WINEDEBUG_OVERRIDE:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [[ -z "${VELLORAN_KEEP_DISPLAY:-}" || -z "${DISPLAY:-}" ]]; then
        local n=$(( 90 + RANDOM % 100 ))
        while [[ -e /tmp/.X$n-lock ]]; do n=$((n + 1)); done
        Xvfb ":$n" -screen 0 "${TEST_SCREEN:-1280x800x24}" -nolisten tcp >/dev/null 2>&1 &
        TEST_XVFB_PID=$!
        export DISPLAY=":$n"
        # Ready when it takes connections, which is a moment after its socket appears.
        for _ in $(seq 50); do xprop -root -len 0 >/dev/null 2>&1 && break; sleep 0.1; done
    fi
    TEST_PREFIX_ROOT=$(mktemp -d /tmp/velloran-test.XXXXXX)
    export WINEPREFIX="$TEST_PREFIX_ROOT/prefix"
    wineboot -i >/dev/null 2>&1
    wineserver -w 2>/dev/null || true
    export VELLORAN_TEST_ROOT="$TEST_PREFIX_ROOT"
}

stop_test_env() {
    WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
    [[ -n "${TEST_XVFB_PID:-}" ]] && kill "$TEST_XVFB_PID" 2>/dev/null
    [[ -n "${TEST_PREFIX_ROOT:-}" ]] && rm -rf "$TEST_PREFIX_ROOT"
    return 0
}
