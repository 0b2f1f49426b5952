#include "platform/Process.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

// Wine gives a process its Windows creation time only once it reaches the Wine server, which
// the first of two quick starts does last when it has to start the server. The Unix process's
// own start (its fork by the launcher) keeps the order in which the starts were made.
unsigned long long launchTime() {
    FILE* stat = std::fopen("/proc/self/stat", "r");
    if (!stat) return 0;
    char text[1024] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, stat);
    std::fclose(stat);
    text[n] = 0;
    // The command name in parentheses may hold blanks: the fields are counted after its end.
    const char* field = std::strrchr(text, ')');
    if (!field) return 0;
    // Field 22, the start time in clock ticks since boot, is the 20th after the name.
    for (int i = 0; i < 20 && field; ++i)
        field = std::strchr(field + 1, ' ');
    unsigned long long ticks = 0;
    if (!field || std::sscanf(field + 1, "%llu", &ticks) != 1) return 0;
    const long perSecond = sysconf(_SC_CLK_TCK);
    if (perSecond <= 0) return 0;
    return ticks * (10000000ULL / static_cast<unsigned long long>(perSecond));
}
