#!/usr/bin/env bash
# Runs every test suite and ends with one line "N passed, N failed".
#   1. the wide-string and layer checks
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
if bash scripts/check-layers.sh; then add layer-check 1 0; else add layer-check 0 1; fi

# 2. GoogleTest under wine. libVLC and the codecs talk a lot on stderr; the whole output goes
# to build/unit-tests.log and only the failures are shown. The counts come from GoogleTest's
# XML report. GoogleTest is Debian's Linux library, which opens the report with the C library,
# so its path is the plain Unix one (a Z:\ path would be taken as relative to the working
# folder). A crash or hang leaves no report: then what passed is counted from the log and the
# rest is one failure.
echo "== unit tests"
log="$top/build/unit-tests.log"
xml="$top/build/unit-tests.xml"
rm -f "$xml"
timeout 1500 wine "$top/build/velloran_tests.exe.so" --gtest_output="xml:$xml" 2>&1 | filter_wine > "$log"
rc=${PIPESTATUS[0]}
# Prints "passed failed skipped" on stdout and each failure on stderr; fails without a readable
# report. Disabled tests (status "notrun") are not counted.
read_gtest_xml='
import sys, xml.etree.ElementTree as ET
passed = failed = skipped = 0
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    if case.get("status") == "notrun":
        continue
    failures = case.findall("failure") + case.findall("error")
    if failures:
        failed += 1
        name = ".".join(n for n in (case.get("classname"), case.get("name")) if n)
        print("[  FAILED  ] " + (name or "(outside any test)"), file=sys.stderr)
        for failure in failures:
            text = (failure.get("message") or failure.text or "").splitlines()
            for line in text[:8]:
                print("    " + line, file=sys.stderr)
            if len(text) > 8:
                print("    ...", file=sys.stderr)
    elif case.get("result") == "skipped" or case.find("skipped") is not None:
        skipped += 1
    else:
        passed += 1
print(passed, failed, skipped)
'
if [[ -s "$xml" ]] && counts=$(/usr/bin/python3 -c "$read_gtest_xml" "$xml"); then
    read -r p f skipped <<< "$counts"
    echo "$((p + f + skipped)) tests ran: $p passed, $f failed, $skipped skipped (log: $log)"
    if [[ $rc -ne 0 && $f -eq 0 ]]; then
        # A failure outside any test (a suite's set-up) or a crash at exit: no test shows it.
        echo "[  FAILED  ] the test program exited with status $rc though no test failed (see $log)"
        f=1
    fi
else
    # Crashed or hung before the report: count what passed and one failure for the rest,
    # plus the tests that had already failed.
    p=$(grep -cE '^\[       OK \]' "$log" || true)
    done_failed=$(grep -E '^\[  FAILED  \] .*\([0-9]+ ms\)$' "$log" | sort -u | wc -l)
    f=$((done_failed + 1))
    if [[ $rc -eq 124 ]]; then what="hung and was stopped after 1500 s"; else what="ended with status $rc"; fi
    echo "the unit test program $what before writing $xml"
    grep -E '^\[  FAILED  \] .*\([0-9]+ ms\)$' "$log" | sort -u || true
    running=$(grep -E '^\[ RUN      \]' "$log" | tail -1)
    [[ -n "$running" ]] && echo "last test started: ${running#\[ RUN      \] }"
    echo "--- end of $log"
    grep -vE '^\[[0-9a-f]{8,}\]|^ALSA lib|^\[(h264|mpeg|aac|mp3)' "$log" | tail -15 || true
    echo "---"
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
