#!/usr/bin/env bash
# Runs every test suite and ends with one line "N passed, N failed".
#   1. the wide-string check
#   2. the unit and in-process GUI tests (GoogleTest, under wine)
#   3. the tool, media and end-to-end tests (pytest), which start the real programs under Xvfb
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/test-env.sh
start_test_env

# Test media, generated once into build/testmedia (kept between runs).
export VELLORAN_MEDIA="$top/build/testmedia"
if [[ -f tests/media/make-media.sh ]]; then
    bash tests/media/make-media.sh "$VELLORAN_MEDIA" || echo "warning: some test media could not be made"
fi
export VELLORAN_MEDIA_WIN="Z:${VELLORAN_MEDIA//\//\\}"

passed=0
failed=0
summary=()

add() { # name passed failed
    passed=$((passed + $2)); failed=$((failed + $3))
    summary+=("$(printf '%-12s %4d passed, %d failed' "$1" "$2" "$3")")
}

# 1. wide-string names
if bash scripts/check-wide.sh; then add wide-check 1 0; else add wide-check 0 1; fi

# 2. GoogleTest under wine. libVLC and the codecs talk a lot on stderr; the whole output goes
# to build/unit-tests.log and only GoogleTest's own lines and the failures are shown.
echo "== unit tests"
log="$top/build/unit-tests.log"
timeout 1500 wine "$top/build/velloran_tests.exe.so" --gtest_brief=1 2>&1 | filter_wine > "$log"
grep -E -A8 '^\[ +(FAILED|PASSED|SKIPPED) +\]|^\[==========\]|: Failure$' "$log" |
    grep -vE '^\[[0-9a-f]{8,}\]|^ALSA lib|^\[(h264|mpeg|aac|mp3)' || true
ran=$(grep -oE '^\[==========\] [0-9]+ tests? from .* ran' "$log" | grep -oE '[0-9]+' | head -1)
p=$(grep -oE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' || true)
if [[ -z "$ran" ]]; then
    # Crashed or hung before the summary: count what passed and one failure for the rest.
    p=$(grep -cE '^\[       OK \]' "$log" || true)
    f=1
else
    skipped=$(grep -oE '^\[  SKIPPED \] [0-9]+' "$log" | grep -oE '[0-9]+$' | head -1 || true)
    f=$(( ran - ${p:-0} - ${skipped:-0} ))
fi
add unit "${p:-0}" "${f:-0}"

# 3. pytest: tools, media, end to end
echo "== tool and end-to-end tests"
log=$(mktemp)
# Debian's interpreter: python3-pytest is installed for it, whatever python3 is first on PATH.
timeout 2400 /usr/bin/python3 -m pytest -q -p no:cacheprovider -o addopts="" tests/e2e 2>&1 | tee "$log"
line=$(grep -E '[0-9]+ (passed|failed)' "$log" | tail -1)
p=$(echo "$line" | grep -oE '[0-9]+ passed' | grep -oE '[0-9]+' || echo 0)
f=$(echo "$line" | grep -oE '[0-9]+ failed' | grep -oE '[0-9]+' || echo 0)
e=$(echo "$line" | grep -oE '[0-9]+ error' | grep -oE '[0-9]+' || echo 0)
[[ -n "$line" ]] || f=1
add e2e "${p:-0}" "$(( ${f:-0} + ${e:-0} ))"
rm -f "$log"

stop_test_env
echo
printf '%s\n' "${summary[@]}"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
