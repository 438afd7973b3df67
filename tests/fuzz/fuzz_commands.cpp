// libFuzzer target: whole command sessions.
#include "tests/fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzCommandSession(data, size);
    return 0;
}
