#!/usr/bin/env bash
# Fails on the wide-string names that compile under Winelib but give wrong results there
# (16-bit wchar_t against a C library built for 32-bit wchar_t).
set -uo pipefail
cd "$(dirname "$0")/.."
pattern='std::wstring|std::wstring_view|std::to_wstring|std::wcout|std::wcerr|std::wostream|std::wstringstream|std::wcslen|\b(swprintf|vswprintf|wprintf|wcslen|wcsnlen|wcscmp|wcsncmp|wcscpy|wcsncpy|wcscat|wcsncat|wcschr|wcsrchr|wcsstr|wcstol|wcstoul|wcstod|wcsdup|wcscasecmp|towlower|towupper|iswspace|iswalpha|iswdigit|wmemcmp|wmemcpy|wmemset|_wcsicmp|_wcsnicmp)\s*\('
files=$(git ls-files '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' 2>/dev/null; \
        git ls-files --others --exclude-standard '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' 2>/dev/null)
# tools/isofs is a native Linux program with a 32-bit wchar_t: the names are sound there.
files=$(echo "$files" | grep -v '^tools/isofs/' | sort -u)
hits=$(echo "$files" | xargs -r grep -nHE "$pattern" 2>/dev/null | grep -v 'check-wide: allow')
if [[ -n "$hits" ]]; then
    echo "Wide-string names that are broken under Winelib:"
    echo "$hits"
    exit 1
fi
echo "wide-string check: clean"
