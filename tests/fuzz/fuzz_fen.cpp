// libFuzzer target: FEN texts.
#include "tests/fuzz/harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFenText(data, size);
    return 0;
}
