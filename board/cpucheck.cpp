// The processor check. A binary built for x86-64-v2 (the default) uses popcnt and SSE4.2
// anywhere, even before main; on an older x86-64 processor it would die of an illegal
// instruction. This file alone is built for any x86-64, and its check runs as a constructor
// ahead of every other initialisation, so that such a processor gets a message instead.
#include <unistd.h>

#ifdef SORVANE_CHECK_X86_64_V2
namespace {

[[gnu::constructor(101)]] void CheckInstructionSet() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("popcnt") && __builtin_cpu_supports("sse4.2") &&
        __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3") &&
        __builtin_cpu_supports("sse3"))
        return;
    static const char message[] =
        "sorvane: this build needs an x86-64-v2 processor (popcnt, SSE4.2), which this one is "
        "not;\nbuild it for any x86-64 with: cmake -S . -B build -DSORVANE_ARCH=x86-64\n";
    if (write(STDERR_FILENO, message, sizeof message - 1) < 0) _exit(1);
    _exit(1);
}

}  // namespace
#endif
