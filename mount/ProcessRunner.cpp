#include "mount/ProcessRunner.h"

#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/Scoped.h"

// Windows 10's attribute, undeclared for older targets; older systems refuse it.
#ifndef PROC_THREAD_ATTRIBUTE_JOB_LIST
#define PROC_THREAD_ATTRIBUTE_JOB_LIST 0x0002000D
#endif

namespace {

constexpr DWORD kChunk = 4096;
// After the child's end: how long its output may pause, and how long it is read at most.
constexpr ULONGLONG kQuietMs = 150;
constexpr ULONGLONG kGraceMs = 1000;
// A runaway child must not exhaust memory; the mount tool prints a few lines.
constexpr size_t kMaxCapture = 16u << 20;

// One read buffer, shared: the runner is only used from the user-interface thread.
char readBuffer[kChunk + 1];

// An anonymous pipe with inheritable ends, except ours (the one the runner keeps).
bool createPipe(ScopedHandle& readEnd, ScopedHandle& writeEnd, bool runnerKeepsReadEnd) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    if (!CreatePipe(readEnd.out(), writeEnd.out(), &sa, 0)) return false;
    HANDLE ours = runnerKeepsReadEnd ? readEnd.get() : writeEnd.get();
    return SetHandleInformation(ours, HANDLE_FLAG_INHERIT, 0) != FALSE;
}

struct Sink {
    std::string* captured = nullptr; // null: the caller wants no text
    HANDLE stdOut = nullptr;         // our own standard output, while writing to it works
};

void consumeChunk(DWORD got, Sink& sink) {
    readBuffer[got] = 0;
    OutputDebugStringA(readBuffer);
    if (sink.captured && sink.captured->size() < kMaxCapture)
        sink.captured->append(readBuffer, strlen(readBuffer)); // the text ends at a zero byte
    if (sink.stdOut) {
        DWORD written = 0;
        if (!WriteFile(sink.stdOut, readBuffer, got, &written, nullptr)) sink.stdOut = nullptr;
    }
}

// Reads what is waiting in the pipe without ever blocking: a grandchild that inherited the
// write end could keep the pipe open long after the child has gone. False once the pipe is
// broken (every writer has closed it) and empty.
bool drainAvailable(HANDLE pipe, Sink& sink) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
        if (available == 0) return true;
        DWORD got = 0;
        if (!ReadFile(pipe, readBuffer, available < kChunk ? available : kChunk, &got, nullptr) ||
            got == 0)
            return false;
        consumeChunk(got, sink);
    }
}

HANDLE ownStandardOutput() {
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!h || h == INVALID_HANDLE_VALUE || GetFileType(h) == FILE_TYPE_UNKNOWN) return nullptr;
    return h;
}

// A started child: its process, the read end of its output and the write end of its input,
// and while it may still be killed with us, the job it runs in.
struct Child {
    ScopedHandle process, output, input, job;
};

// A job whose processes are killed when its last handle closes, the runner's own included when
// the runner dies. Null when jobs cannot be had.
HANDLE createKillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job) return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits,
                                 sizeof(limits))) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

// From now on the child's work outlives the job's handle: it finishes whatever becomes of us.
void releaseFromJob(Child& child) {
    if (!child.job) return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    SetInformationJobObject(child.job.get(), JobObjectExtendedLimitInformation, &limits,
                            sizeof(limits));
    child.job.reset();
}

// Creates the process inside the job, in one step: CreateProcess makes the child suspended and
// resumes it only once it has started, so a runner that dies in between would otherwise leave
// it suspended for good. Falls back to a plain start where process attributes are not had.
BOOL createProcessInJob(wchar_t* command, STARTUPINFOW& si, HANDLE job, PROCESS_INFORMATION* pi) {
    STARTUPINFOEXW six = {};
    six.StartupInfo = si;
    six.StartupInfo.cb = sizeof(six);
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> list(size);
    six.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
    BOOL created = FALSE;
    if (job && size && InitializeProcThreadAttributeList(six.lpAttributeList, 1, 0, &size)) {
        if (UpdateProcThreadAttribute(six.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST,
                                      &job, sizeof(job), nullptr, nullptr))
            created = CreateProcessW(nullptr, command, nullptr, nullptr, TRUE,
                                     DETACHED_PROCESS | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                                     nullptr, &six.StartupInfo, pi);
        DeleteProcThreadAttributeList(six.lpAttributeList);
    }
    return created || CreateProcessW(nullptr, command, nullptr, nullptr, TRUE, DETACHED_PROCESS,
                                     nullptr, nullptr, &si, pi);
}

// Starts the child in a job of its own that kills it should we die before letting it go
// (releaseFromJob); a runner killed while the child starts leaves nothing behind.
bool startChild(const WString& commandLine, Child* child) {
    // CreateProcessW may write into the command line it is given.
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(0);

    ScopedHandle outRead, outWrite, inRead, inWrite;
    if (!createPipe(outRead, outWrite, true)) return false;
    if (!createPipe(inRead, inWrite, false)) return false;

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead.get();
    si.hStdOutput = outWrite.get();
    si.hStdError = outWrite.get();
    PROCESS_INFORMATION pi = {};
    // No console at all rather than a hidden one: the child talks through the pipes only, and
    // under Wine a hidden console is one more process (conhost) started for every run.
    ScopedHandle job(createKillOnCloseJob());
    if (!createProcessInJob(command.data(), si, job.get(), &pi)) {
        OutputDebugStringW(L"runProcess: the program could not be started\n");
        return false;
    }
    CloseHandle(pi.hThread);
    child->process.reset(pi.hProcess);
    // Only the child holds the write end of its output now, so that pipe breaks once its
    // output has ended.
    child->output = std::move(outRead);
    child->input = std::move(inWrite);
    child->job = std::move(job);
    return true;
}

// Reads the child's output until it has ended or closed its output; see runProcess.
bool collectOutput(Child& child, std::string* output, unsigned long timeoutMs) {
    std::string captured;
    Sink sink{output ? &captured : nullptr, ownStandardOutput()};
    // The pipe is drained while the child runs, so output larger than the pipe's buffer never
    // blocks it, and the wait is bounded so that a hung child cannot hang the caller for good.
    const ULONGLONG start = GetTickCount64();
    bool ended = false;
    bool pipeOpen = true;
    bool waitable = true;
    for (;;) {
        pipeOpen = drainAvailable(child.output.get(), sink);
        // Every writer has closed the output: the child has said all it will say. That is
        // usually its end; the mount tool closes its output on purpose before the device
        // notice it sends last, which its caller need not wait for. (Some children cannot be
        // waited on at all: under Wine, native programs.)
        if (!pipeOpen) {
            ended = true;
            break;
        }
        if (waitable) {
            DWORD wait = WaitForSingleObject(child.process.get(), 5);
            if (wait == WAIT_OBJECT_0) {
                ended = true;
                break;
            }
            if (wait == WAIT_FAILED) waitable = false;
        } else {
            Sleep(5);
        }
        if (GetTickCount64() - start >= timeoutMs) break;
    }
    if (!ended) {
        OutputDebugStringW(L"runProcess: the program did not end in time and was ended\n");
        TerminateProcess(child.process.get(), 1);
        WaitForSingleObject(child.process.get(), 2000);
        return false;
    }
    // What the child wrote is in the pipe now, but a grandchild holding the inherited write
    // end (the native image server under Wine) may still be writing its last line: when the
    // text is wanted, drain until the pipe breaks or stays quiet for a moment.
    const ULONGLONG endedAt = GetTickCount64();
    ULONGLONG quietSince = endedAt;
    size_t seen = captured.size();
    while (pipeOpen) {
        pipeOpen = drainAvailable(child.output.get(), sink);
        const ULONGLONG now = GetTickCount64();
        if (captured.size() != seen) {
            seen = captured.size();
            quietSince = now;
        }
        if (!output || now - quietSince >= kQuietMs || now - endedAt >= kGraceMs) break;
        Sleep(5);
    }
    if (output) *output = captured;
    return true;
}

// The program waiting for its arguments, and the command line it was started with.
Child standby;
WString waitingCommandLine;

} // namespace

bool runProcess(const WString& commandLine, std::string* output, unsigned long timeoutMs) {
    Child child;
    if (!startChild(commandLine, &child)) return false;
    releaseFromJob(child);
    return collectOutput(child, output, timeoutMs);
}

bool prepareStandby(const WString& standbyCommandLine) {
    if (standby.process && waitingCommandLine == standbyCommandLine) return true;
    dropStandby();
    if (!startChild(standbyCommandLine, &standby)) return false;
    waitingCommandLine = standbyCommandLine;
    return true;
}

bool runPrepared(const WString& standbyCommandLine, const std::string& arguments,
                 const WString& commandLine, std::string* output, unsigned long timeoutMs) {
    if (!standby.process || standbyCommandLine != waitingCommandLine)
        return runProcess(commandLine, output, timeoutMs);
    Child child = std::move(standby);
    waitingCommandLine.clear();
    // A standby that has gone (ended from outside) breaks the pipe: nothing has run then.
    DWORD written = 0;
    if (!WriteFile(child.input.get(), arguments.data(), static_cast<DWORD>(arguments.size()),
                   &written, nullptr) ||
        written != arguments.size())
        return runProcess(commandLine, output, timeoutMs);
    child.input.reset(); // the end of the arguments
    releaseFromJob(child);
    return collectOutput(child, output, timeoutMs);
}

void dropStandby() {
    // Its input closed with nothing written, the standby ends by itself, and closing its job
    // ends it at once; it is not waited for.
    standby = Child();
    waitingCommandLine.clear();
}
