// Runs a console program hidden, with piped standard handles, and collects what it prints.
#pragma once

#include <string>

#include "platform/WString.h"

// Two minutes: far more than the mount tool ever needs, short enough that a hung tool does not
// freeze the program for good.
constexpr unsigned long kDefaultProcessTimeoutMs = 120000;

// Starts commandLine (the program quoted when its path has blanks) without a window and waits
// until it has ended or closed its output, reading its output while it runs. True when the
// child started and ended or closed its output; then *output (when given) holds its output
// bytes, each chunk's text up to its first zero byte. False when a pipe or the process could
// not be made, or when the child was still running after timeoutMs and was ended: *output is
// then not touched.
// User-interface thread only: the read buffer is shared.
bool runProcess(const WString& commandLine, std::string* output,
                unsigned long timeoutMs = kDefaultProcessTimeoutMs);

// A program started ahead of need that waits for its arguments on standard input and then runs
// as if they were on its command line (the mount tool's "/standby"): a run on it costs no
// process start, which under Wine is some 60 ms. One at a time; user-interface thread only.
// Starts standbyCommandLine as the standby unless it is waiting already. False when it cannot
// start.
bool prepareStandby(const WString& standbyCommandLine);
// Hands arguments to the standby started from standbyCommandLine, which they end, and collects
// its answer as runProcess does. Without such a standby waiting (or when it has gone), runs
// commandLine, the same program with the same arguments, through runProcess instead.
bool runPrepared(const WString& standbyCommandLine, const std::string& arguments,
                 const WString& commandLine, std::string* output,
                 unsigned long timeoutMs = kDefaultProcessTimeoutMs);
// Lets the standby go: it ends without running anything. A standby also ends with this program,
// however this program ends.
void dropStandby();
