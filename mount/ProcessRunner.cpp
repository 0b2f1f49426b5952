#include "mount/ProcessRunner.h"

#include <windows.h>

#include <vector>

namespace {

// One read buffer, shared: the runner is only used from the user-interface thread.
char readBuffer[4096 + 1];

struct HandleCloser {
    HANDLE& handle;
    ~HandleCloser() {
        if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = nullptr;
    }
};

// An anonymous pipe whose two ends are inheritable except the one named by keepEnd.
bool createPipe(HANDLE* readEnd, HANDLE* writeEnd, bool keepReadEnd) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    if (!CreatePipe(readEnd, writeEnd, &sa, 0)) return false;
    if (!SetHandleInformation(keepReadEnd ? *readEnd : *writeEnd, HANDLE_FLAG_INHERIT, 0)) {
        CloseHandle(*readEnd);
        CloseHandle(*writeEnd);
        *readEnd = *writeEnd = nullptr;
        return false;
    }
    return true;
}

// Reads what is waiting in the pipe without blocking. False once the pipe is broken (every
// writer has gone) and nothing is left.
bool drainAvailable(HANDLE pipe, std::string* captured, HANDLE stdOut) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) return true;
        DWORD got = 0;
        DWORD want = available < 4096 ? available : 4096;
        if (!ReadFile(pipe, readBuffer, want, &got, nullptr) || got == 0) return false;
        readBuffer[got] = 0;
        OutputDebugStringA(readBuffer);
        // A zero byte in the output ends the text of this chunk.
        if (captured) captured->append(readBuffer);
        if (stdOut) {
            DWORD written = 0;
            WriteFile(stdOut, readBuffer, got, &written, nullptr);
        }
    }
}

} // namespace

bool runProcess(const WString& commandLine, std::string* output, unsigned long timeoutMs) {
    // CreateProcessW may write into the command line it is given.
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(0);

    HANDLE outRead = nullptr, outWrite = nullptr, inRead = nullptr, inWrite = nullptr;
    HandleCloser c1{outRead}, c2{outWrite}, c3{inRead}, c4{inWrite};
    if (!createPipe(&outRead, &outWrite, true)) return false;
    if (!createPipe(&inRead, &inWrite, false)) return false;

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead;
    si.hStdOutput = outWrite;
    si.hStdError = outWrite;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi)) {
        OutputDebugStringW(L"runProcess: CreateProcessW failed\n");
        return false;
    }
    HandleCloser c5{pi.hProcess}, c6{pi.hThread};
    // Only the child holds the write end now, so the pipe breaks when the child's output ends.
    CloseHandle(outWrite);
    outWrite = nullptr;
    CloseHandle(inRead);
    inRead = nullptr;

    // Our own standard output, when there is one (a console build); a windowed program has none.
    HANDLE stdOut = GetStdHandle(STD_OUTPUT_HANDLE);
    if (stdOut == INVALID_HANDLE_VALUE || GetFileType(stdOut) == FILE_TYPE_UNKNOWN) stdOut = nullptr;

    std::string captured;
    std::string* sink = output ? &captured : nullptr;
    // The pipe is drained while the child runs, so output larger than the pipe buffer never
    // blocks it; the wait is bounded so that a hung tool cannot hang the caller for good.
    const DWORD start = GetTickCount();
    bool exited = false;
    for (;;) {
        bool open = drainAvailable(outRead, sink, stdOut);
        DWORD wait = WaitForSingleObject(pi.hProcess, open ? 5 : 20);
        if (wait == WAIT_OBJECT_0) {
            exited = true;
            break;
        }
        if (wait == WAIT_FAILED) break;
        if (GetTickCount() - start >= timeoutMs) break;
    }
    if (!exited) {
        OutputDebugStringW(L"runProcess: the child did not end in time and was terminated\n");
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 2000);
        return false;
    }
    // Everything the child wrote is in the pipe now. A grandchild that inherited the write end
    // could keep it open, so only what is waiting is read, never a blocking read.
    drainAvailable(outRead, sink, stdOut);
    if (output) *output = captured;
    return true;
}
