// Runs a console program hidden, with piped standard handles, and collects what it prints.
#pragma once

#include <string>

#include "platform/WString.h"

// True when the child started and ended; *output (when given) gets its output bytes.
// A child still running after timeoutMs is ended and the call returns false.
bool runProcess(const WString& commandLine, std::string* output, unsigned long timeoutMs = 120000);
