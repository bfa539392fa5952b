// libFuzzer entry point of the unpack target; the body is in targets.cpp.
#include "fuzz/targets.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ksbfuzz::UnpackTarget({data, size});
    return 0;
}
