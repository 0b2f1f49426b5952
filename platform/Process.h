// Facts about this process the host knows best.
#pragma once

// When this process was launched, in 100 ns units of a clock all processes on this machine
// share: of two starts, the one launched later has the larger value. 0 when unknown.
unsigned long long launchTime();
