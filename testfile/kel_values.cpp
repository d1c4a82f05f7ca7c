#include "testfile/kel_values.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "testfile/kel_format.h"

const TestTypeInfo testTypeTable[5] = {
    {1, "Resistance Test", "R"},
    {2, "Insulation Resistance", "R"},
    {3, "Polarization Index", "PI"},
    {4, "Dielectric Discharge", "DD"},
    {5, "Step Voltage", "SV"},
};

const char* TestTypeName(int code)
{
    return code >= 1 && code <= 5 ? testTypeTable[code - 1].name : "Unknown";
}

const char* TestTypeShortCode(int code)
{
    return code >= 1 && code <= 5 ? testTypeTable[code - 1].shortCode : "";
}

namespace {

constexpr long double PowerOfTenImpl(long double x, int n)
{
    // Square and multiply over the bits of |n|, lowest bit first.
    unsigned int bits = n < 0 ? 0u - static_cast<unsigned int>(n) : static_cast<unsigned int>(n);
    long double result = 1.0L;
    long double power = x;
    while (bits != 0) {
        if (bits & 1u) result *= power;
        power *= power;
        bits >>= 1;
    }
    return n < 0 ? 1.0L / result : result;
}

// 10^-e rounded to a float, for the sixteen exponents of a sample word.
constexpr std::array<float, 16> kCurrentFactors = [] {
    std::array<float, 16> factors{};
    for (int e = 0; e < 16; ++e) factors[e] = static_cast<float>(PowerOfTenImpl(10.0L, -e));
    return factors;
}();

unsigned int Word(const unsigned char* bytes)
{
    return kel::BigEndian16(bytes);
}

}  // namespace

long double PowerOfTen(double base, int exponent)
{
    return PowerOfTenImpl(base, exponent);
}

MeasuredValue DecodeMeasuredValue(const unsigned char* bytes)
{
    MeasuredValue decoded;
    decoded.unit = static_cast<char>(bytes[0]);
    const double mantissa = Word(bytes + 2);
    const unsigned int flags = bytes[1];
    // The lowest set decimal flag wins.
    if (flags & 0x01) decoded.value = static_cast<float>(mantissa / 10000.0);
    else if (flags & 0x02) decoded.value = static_cast<float>(mantissa / 1000.0);
    else if (flags & 0x04) decoded.value = static_cast<float>(mantissa / 100.0);
    else if (flags & 0x08) decoded.value = static_cast<float>(mantissa / 10.0);
    else decoded.value = static_cast<float>(mantissa);
    return decoded;
}

float DecodeCurrentWord(std::uint16_t word)
{
    const float factor = kCurrentFactors[word >> 12];
    return factor * static_cast<float>(word & 0x0FFF);
}

void DecodeSamples(const unsigned char* raw, int count, float* currents, float* resistances)
{
    for (int k = 0; k < count; ++k) {
        const unsigned char* sample = raw + static_cast<std::size_t>(k) * 4;
        const float volts = static_cast<float>(Word(sample));
        const unsigned int word = Word(sample + 2);
        const unsigned int mantissa = word & 0x0FFF;
        const float current = kCurrentFactors[word >> 12] * static_cast<float>(mantissa);
        currents[k] = current;
        resistances[k] = mantissa == 0 ? 0.0f : volts / current;
    }
}

SampleValue DecodeSample(const unsigned char* bytes)
{
    SampleValue decoded;
    DecodeSamples(bytes, 1, &decoded.current, &decoded.resistance);
    return decoded;
}

int DecodeBcd(int byte)
{
    // The value is what scanf("%d") reads from printf("%X") of the byte: the
    // leading decimal digits of its hexadecimal text, 0 when there are none.
    const int high = (byte >> 4) & 0x0F;
    const int low = byte & 0x0F;
    if (high == 0) return low <= 9 ? low : 0;
    if (high > 9) return 0;
    return low <= 9 ? high * 10 + low : high;
}

char* FormatResistance(float resistance, char* buffer)
{
    const double r = resistance;
    if (r > 1e12) std::snprintf(buffer, kResistanceTextSize, "%.3lf T", r / 1e12);
    else if (r > 1e9) std::snprintf(buffer, kResistanceTextSize, "%.3lf G", r / 1e9);
    else if (r > 1e6) std::snprintf(buffer, kResistanceTextSize, "%.3lf M", r / 1e6);
    else if (r == 0) std::snprintf(buffer, kResistanceTextSize, "> 65 T");
    else std::snprintf(buffer, kResistanceTextSize, "%.3lf K", r / 1000);
    return buffer;
}

void EncodeMeasuredValue(double value, char unit, unsigned char* bytes)
{
    static constexpr struct {
        unsigned char flag;
        double scale;
    } kDecimals[] = {{0x01, 10000.0}, {0x02, 1000.0}, {0x04, 100.0}, {0x08, 10.0}, {0x00, 1.0}};
    if (!(value > 0)) value = 0;
    unsigned char flags = 0;
    long mantissa = 65535;
    for (const auto& decimals : kDecimals) {
        if (value >= 65535) break;
        const long scaled = std::lround(value * decimals.scale);
        if (scaled <= 65535) {
            flags = decimals.flag;
            mantissa = scaled;
            break;
        }
    }
    bytes[0] = static_cast<unsigned char>(unit);
    bytes[1] = flags;
    bytes[2] = static_cast<unsigned char>(mantissa >> 8);
    bytes[3] = static_cast<unsigned char>(mantissa & 0xFF);
}

std::uint16_t EncodeCurrentWord(double amperes)
{
    if (!(amperes > 0)) return 0;
    if (amperes >= 4095) return 0x0FFF;  // the largest current a word holds
    for (int e = 15; e >= 0; --e) {
        // 64 bits wide everywhere: amperes / 10^-15 overflows a 32-bit long (Windows) above about 2.1 uA.
        const long long mantissa = std::llround(amperes / kCurrentFactors[e]);
        if (mantissa <= 0x0FFF) return static_cast<std::uint16_t>(e << 12 | mantissa);
    }
    return 0x0FFF;
}

void EncodeSample(std::uint16_t volts, double amperes, unsigned char* bytes)
{
    const std::uint16_t word = EncodeCurrentWord(amperes);
    bytes[0] = static_cast<unsigned char>(volts >> 8);
    bytes[1] = static_cast<unsigned char>(volts & 0xFF);
    bytes[2] = static_cast<unsigned char>(word >> 8);
    bytes[3] = static_cast<unsigned char>(word & 0xFF);
}

unsigned char EncodeBcd(int value)
{
    if (value < 0) value = 0;
    value %= 100;
    return static_cast<unsigned char>((value / 10) << 4 | (value % 10));
}

double InSiUnits(const MeasuredValue& value)
{
    const double v = value.value;
    switch (value.unit) {
    case 'T': return v * 1e12;
    case 'G': return v * 1e9;
    case 'M': return v * 1e6;
    case 'K':
    case 'k': return v * 1e3;
    case 'm': return v * 1e-3;
    case 'u': return v * 1e-6;
    case 'n': return v * 1e-9;
    case 'p': return v * 1e-12;
    default: return v;
    }
}

bool IsOverRange(const MeasuredValue& value)
{
    return value.unit == 'O' || value.unit == 'o';
}
