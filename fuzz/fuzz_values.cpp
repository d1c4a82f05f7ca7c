// The value decoders and the resistance formatter over any bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "testfile/kel_values.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4) return 0;
    const MeasuredValue measured = DecodeMeasuredValue(data);
    if (!(measured.value >= 0 && measured.value <= 65535)) std::abort();

    const SampleValue sample = DecodeSample(data);
    if (!std::isfinite(sample.current) || !std::isfinite(sample.resistance) || sample.resistance < 0) std::abort();

    char text[kResistanceTextSize + 1];
    text[kResistanceTextSize] = 'x';
    FormatResistance(sample.resistance, text);
    // Every resistance a sample carries fits, with room to spare.
    if (text[kResistanceTextSize] != 'x' || std::strlen(text) > 14) std::abort();
    float any;
    std::memcpy(&any, data, sizeof any);
    FormatResistance(any, text);
    if (text[kResistanceTextSize] != 'x') std::abort();

    const int bcd = DecodeBcd(data[0]);
    if (bcd < 0 || bcd > 99) std::abort();
    return 0;
}
