#include "testfile/kel_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ios>
#include <string>

namespace {

struct MeasuredCase {
    unsigned char bytes[4];
    float value;
    char unit;
};

TEST(DecodeMeasuredValue, LowestDecimalFlagWins)
{
    const MeasuredCase cases[] = {
        {{0x4D, 0x04, 0x01, 0xF4}, 5.0f, 'M'},                                        // bit 2: / 100
        {{0x47, 0x03, 0x30, 0x39}, static_cast<float>(12345 / 10000.0), 'G'},         // bits 0 and 1: bit 0 wins
        {{0x47, 0x02, 0x30, 0x39}, static_cast<float>(12345 / 1000.0), 'G'},          // bit 1
        {{0x4B, 0x0C, 0x30, 0x39}, static_cast<float>(12345 / 100.0), 'K'},           // bits 2 and 3: bit 2 wins
        {{0x6E, 0x08, 0x30, 0x39}, static_cast<float>(12345 / 10.0), 'n'},            // bit 3
        {{0x54, 0x10, 0x30, 0x39}, 12345.0f, 'T'},                                    // bit 4 means nothing
        {{0x54, 0xF0, 0xFF, 0xFF}, 65535.0f, 'T'},                                    // nor do bits 5-7
        {{0x4F, 0x00, 0x00, 0x00}, 0.0f, 'O'},
        {{0xE9, 0x01, 0xFF, 0xFF}, static_cast<float>(65535 / 10000.0), '\xE9'},      // any letter passes
    };
    for (const auto& c : cases) {
        const MeasuredValue decoded = DecodeMeasuredValue(c.bytes);
        EXPECT_EQ(decoded.value, c.value) << std::hex << int(c.bytes[1]);
        EXPECT_EQ(decoded.unit, c.unit);
    }
}

struct SampleCase {
    unsigned char bytes[4];
    float current;
    float resistance;
};

// The float nearest 10^-e for e = 0 to 15, worked out with exact rational
// arithmetic outside this program: what square-and-multiply in long double,
// then rounded to a float, must give.
constexpr float kFactor[16] = {
    0x1p+0f,        0x1.99999ap-4f,  0x1.47ae14p-7f,  0x1.0624dep-10f, 0x1.a36e2ep-14f, 0x1.4f8b58p-17f,
    0x1.0c6f7ap-20f, 0x1.ad7f2ap-24f, 0x1.5798eep-27f, 0x1.12e0bep-30f, 0x1.b7cdfep-34f, 0x1.5fd7fep-37f,
    0x1.197998p-40f, 0x1.c25c26p-44f, 0x1.6849b8p-47f, 0x1.203afap-50f,
};

TEST(DecodeSample, CurrentAndResistance)
{
    // Expected values worked out by exact rational arithmetic: current = float(factor x m),
    // resistance = float(volts / current).
    const SampleCase cases[] = {
        {{0x01, 0xF4, 0xB1, 0xF4}, 0x1.5798eep-28f, 0x1.74876ep+36f},  // 500 V, 5 nA: 1.0e11 ohms
        {{0x03, 0xE8, 0x50, 0x00}, 0.0f, 0.0f},                          // mantissa 0: over range
        {{0x00, 0x00, 0x31, 0xF4}, 0.5f, 0.0f},                          // no voltage: resistance 0
        {{0xFF, 0xFF, 0x00, 0x01}, 1.0f, 65535.0f},                      // exponent 0
        {{0xFF, 0xFF, 0x0F, 0xFF}, 4095.0f, 0x1.000fp+4f},
        {{0xFF, 0xFF, 0xF0, 0x01}, 0x1.203afap-50f, 0x1.c6bd8cp+65f},    // the largest resistance a sample carries
    };
    for (const auto& c : cases) {
        const SampleValue decoded = DecodeSample(c.bytes);
        EXPECT_EQ(decoded.current, c.current) << std::hexfloat << c.current;
        EXPECT_EQ(decoded.resistance, c.resistance) << std::hexfloat << c.resistance;
    }
}

TEST(DecodeSample, FactorIsTheFloatNearestTheNegativePowerOfTen)
{
    for (int e = 0; e < 16; ++e) {
        const auto word = static_cast<std::uint16_t>(e << 12 | 1);
        EXPECT_EQ(DecodeCurrentWord(word), kFactor[e]) << e;
    }
}

TEST(DecodeSamples, InPlaceAndSeparateBuffersDecodeEverySampleAsTheFormulaSays)
{
    constexpr int kCount = 257;
    unsigned char raw[kCount * 4];
    std::uint32_t state = 12345;
    for (auto& byte : raw) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<unsigned char>(state >> 16);
    }
    float currents[kCount];
    float resistances[kCount];
    DecodeSamples(raw, kCount, currents, resistances);

    float inPlace[kCount];
    float inPlaceCurrents[kCount];
    std::memcpy(inPlace, raw, sizeof raw);
    DecodeSamples(reinterpret_cast<unsigned char*>(inPlace), kCount, inPlaceCurrents, inPlace);
    for (int k = 0; k < kCount; ++k) {
        // The formula, from the bytes and the factor table above.
        const unsigned char* b = raw + 4 * k;
        const auto volts = static_cast<float>(b[0] << 8 | b[1]);
        const int e = b[2] >> 4, m = (b[2] & 0x0F) << 8 | b[3];
        const float current = kFactor[e] * static_cast<float>(m);
        const float resistance = m == 0 ? 0.0f : volts / current;
        EXPECT_EQ(currents[k], current) << k;
        EXPECT_EQ(resistances[k], resistance) << k;
        EXPECT_EQ(inPlaceCurrents[k], current) << k;
        EXPECT_EQ(inPlace[k], resistance) << k;
    }
}

TEST(DecodeBcd, ReadsTheDecimalDigitsOfTheHexText)
{
    // Every byte against the literal definition: scanf "%d" of printf "%X".
    for (int b = 0; b < 256; ++b) {
        char text[8];
        std::snprintf(text, sizeof text, "%X", b);
        int expected = 0;
        if (std::sscanf(text, "%d", &expected) != 1) expected = 0;
        EXPECT_EQ(DecodeBcd(b), expected) << std::hex << b;
    }
    EXPECT_EQ(DecodeBcd(0x00), 0);
    EXPECT_EQ(DecodeBcd(0x99), 99);
    EXPECT_EQ(DecodeBcd(0x1A), 1);
    EXPECT_EQ(DecodeBcd(0xA1), 0);
    EXPECT_EQ(DecodeBcd(0x7F), 7);
}

TEST(PowerOfTen, PositiveAndNegativeExponents)
{
    EXPECT_EQ(PowerOfTen(10, 0), 1.0L);
    EXPECT_EQ(PowerOfTen(10, 3), 1000.0L);
    EXPECT_EQ(PowerOfTen(2, 10), 1024.0L);
    EXPECT_EQ(PowerOfTen(10, -1), 1.0L / 10.0L);
    EXPECT_EQ(PowerOfTen(10, -15), 1.0L / 1e15L);
}

TEST(FormatResistance, UnitsAndBoundaries)
{
    const struct {
        float ohms;
        const char* text;
    } cases[] = {
        {2.5e6f, "2.500 M"},       {5.0e5f, "500.000 K"},      {1e6f, "1000.000 K"},
        {1e9f, "1000.000 M"},      {1e12f, "1000.000 G"},      {1.0e11f, "100.000 G"},
        {3.2e12f, "3.200 T"},      {0.0f, "> 65 T"},           {0.5f, "0.001 K"},
        {7.3786976294838206e19f, "73786976.295 T"},  // 2^66, exact in a float
    };
    for (const auto& c : cases) {
        char buffer[kResistanceTextSize];
        EXPECT_STREQ(FormatResistance(c.ohms, buffer), c.text) << c.ohms;
    }
}

TEST(FormatResistance, NeverWritesPastSixteenBytes)
{
    char buffer[kResistanceTextSize + 8];
    std::memset(buffer, 'x', sizeof buffer);
    FormatResistance(3.4e38f, buffer);
    EXPECT_EQ(std::strlen(buffer), kResistanceTextSize - 1);
    EXPECT_EQ(buffer[kResistanceTextSize], 'x');
    // The largest resistance a sample carries (65535 V over 1e-15 A) fits whole.
    const unsigned char largest[] = {0xFF, 0xFF, 0xF0, 0x01};
    EXPECT_EQ(std::strlen(FormatResistance(DecodeSample(largest).resistance, buffer)), 14u);
}

TEST(TestTypeTable, NamesAndShortCodes)
{
    const struct {
        int code;
        const char* name;
        const char* shortCode;
    } cases[] = {
        {1, "Resistance Test", "R"},  {2, "Insulation Resistance", "R"}, {3, "Polarization Index", "PI"},
        {4, "Dielectric Discharge", "DD"}, {5, "Step Voltage", "SV"}, {0, "Unknown", ""},
        {6, "Unknown", ""},           {255, "Unknown", ""},           {-1, "Unknown", ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(TestTypeName(c.code), c.name) << c.code;
        EXPECT_STREQ(TestTypeShortCode(c.code), c.shortCode) << c.code;
    }
}

TEST(Encoders, DecodeBackToTheirInput)
{
    EXPECT_EQ(EncodeCurrentWord(5e-9), 0xB1F4);
    EXPECT_EQ(EncodeCurrentWord(0), 0);
    EXPECT_EQ(EncodeCurrentWord(1e9), 0x0FFF);
    for (double amperes : {1e-15, 3.3e-12, 7.77e-9, 1.234e-6, 2.5e-3, 0.8, 4000.0}) {
        const float decoded = DecodeCurrentWord(EncodeCurrentWord(amperes));
        EXPECT_NEAR(decoded / amperes, 1.0, 1e-3) << amperes;
    }
    for (double value : {0.0, 0.0001, 5.0, 6.5535, 12.3456, 655.35, 65535.0}) {
        unsigned char bytes[4];
        EncodeMeasuredValue(value, 'G', bytes);
        const MeasuredValue decoded = DecodeMeasuredValue(bytes);
        EXPECT_EQ(decoded.unit, 'G');
        EXPECT_NEAR(decoded.value, value, value * 1e-4 + 1e-4) << value;
    }
    unsigned char saturated[4];
    EncodeMeasuredValue(1e30, 'T', saturated);
    EXPECT_EQ(DecodeMeasuredValue(saturated).value, 65535.0f);
    EXPECT_EQ(EncodeBcd(59), 0x59);
    EXPECT_EQ(EncodeBcd(7), 0x07);
}

}  // namespace
