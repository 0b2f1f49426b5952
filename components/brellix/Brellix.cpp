// brellix.dll: the exit advertisement. This build shows none and lets the close go on; the
// test build (BRELLIX_KEEP_OPEN) answers 2, which keeps the player's window open.
#include <windows.h>
#include <shlwapi.h>

#ifndef BRELLIX_RESULT
#define BRELLIX_RESULT 0
#endif

extern "C" __declspec(dllexport) int __cdecl brellix_show(HWND /*owner*/, const wchar_t* product,
                                                          const wchar_t* url) {
    wchar_t line[600];
    wnsprintfW(line, 600, L"brellix_show: %s, %s -> %d\n", product ? product : L"",
               url ? url : L"", BRELLIX_RESULT);
    OutputDebugStringW(line);
    return BRELLIX_RESULT;
}
