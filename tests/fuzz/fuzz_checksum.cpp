// The checksum against its reference model (strtol on each element cut off
// at a comma). The whole input is the list.
#include <string>

#include "functions/Checksum.h"
#include "fuzz_check.h"
#include "reference_models.h"

using namespace velkora;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const unsigned got = ChecksumOf(text);
    const unsigned want = model::Checksum(text);
    if (got != want) fuzz::Mismatch("ChecksumOf", text, std::to_string(got), std::to_string(want));
    if (got > 127) fuzz::Mismatch("ChecksumOf out of range", text, std::to_string(got), "0..127");
    return 0;
}
