// STUB: replaced by the real implementation.
#include "mount/ProcessRunner.h"
bool runProcess(const WString&, std::string*, unsigned long) { return false; }
