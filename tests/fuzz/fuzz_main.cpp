// One libFuzzer binary per entry; FUZZ_ENTRY names it.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_ENTRY(data, size);
    return 0;
}
