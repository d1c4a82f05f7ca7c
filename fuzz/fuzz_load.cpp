// Any bytes as a test file: both depths of decoding must succeed or fail
// cleanly, never read past the bytes, and leave a failed record as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "testfile/kel_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const unsigned char> bytes(data, size);
    CKELFile record;
    const bool header = record.Decode(bytes, 0).Ok();
    const bool full = record.Decode(bytes, 1).Ok();
    if (full) {
        // A full decode holds exactly the samples the bytes carry.
        if (record.sampleCount < 0 || 165 + static_cast<std::size_t>(record.sampleCount) * 4 > size) std::abort();
        volatile float sum = 0;
        for (int k = 0; k < record.sampleCount; ++k) sum = sum + record.currents[k] + record.resistances[k];
        if (!header) std::abort();  // what decodes fully also decodes header-only
    }
    for (const char* text : {record.dateTimeText, record.finalResistanceText, record.stepResultText[4],
                             record.equivRes20CText, record.operatorName, record.company})
        if (std::memchr(text, 0, 80) == nullptr) std::abort();
    return 0;
}
