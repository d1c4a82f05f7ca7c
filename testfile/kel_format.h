// Layout of a ".kel" test file: the program's five-byte preamble, then the
// tester's stream (the 160-byte test header and four-byte samples) as sent.
// Offsets named kHeader... count from the start of the test header; header
// byte n stands at file offset n + kPreambleSize.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kel {

constexpr std::uint32_t kMagic = 0xF00D1234;  // stored little-endian: 34 12 0D F0
constexpr std::size_t kMagicSize = 4;
constexpr std::size_t kMarkerOffset = 4;  // the download writes 1; never interpreted
constexpr std::size_t kPreambleSize = 5;
// The preamble a download writes before the tester's stream: the magic number and a marker of 1.
constexpr unsigned char kPreamble[kPreambleSize] = {kMagic & 0xFF, kMagic >> 8 & 0xFF, kMagic >> 16 & 0xFF,
                                                    kMagic >> 24 & 0xFF, 1};
constexpr std::size_t kHeaderSize = 160;
constexpr std::size_t kFileHeaderEnd = kPreambleSize + kHeaderSize;  // 165
constexpr std::size_t kSampleSize = 4;
// L is 16 bits wide, so a test holds at most this many samples.
constexpr int kMaxSamples = (0xFFFF - static_cast<int>(kHeaderSize)) / static_cast<int>(kSampleSize);

constexpr std::size_t kHeaderLength = 0;            // u16: L, the stream length
constexpr std::size_t kHeaderTestNumber = 4;        // u16
constexpr std::size_t kHeaderDate = 6;              // 3 BCD bytes, in printing order
constexpr std::size_t kHeaderTime = 9;              // 3 BCD bytes: hour, minute, second
constexpr std::size_t kHeaderTestType = 12;         // u8, 1-5
constexpr std::size_t kHeaderResistanceAt1Min = 17; // measured; type 5: step 1 resistance
constexpr std::size_t kHeaderCurrentAt1Min = 21;    // measured; type 5: step 2 resistance
constexpr std::size_t kHeaderStepResistances = 17;  // type 5: steps 1-4, four bytes each
constexpr std::size_t kHeaderFinalResistance = 33;  // measured; type 5: also step 5
constexpr std::size_t kHeaderFinalCurrent = 37;     // measured
constexpr std::size_t kHeaderDdRatio = 41;          // u16, ratio x 100, 0xFFFF = none
constexpr std::size_t kHeaderPiRatio = 43;          // u16, ratio x 100, 0xFFFF = none
constexpr std::size_t kHeaderStepVoltages = 45;     // type 5: 4 x u16 volts, steps 1-4
constexpr std::size_t kHeaderTestVoltage = 53;      // u16 volts; type 5: also step 5
constexpr std::size_t kHeaderCapacitance = 55;      // u16, 1/100 uF, 0xFFFF = not measured
constexpr std::size_t kHeaderStepMinutes = 59;      // u8 binary
constexpr std::size_t kHeaderStepSeconds = 60;      // u8 binary
constexpr std::size_t kHeaderTemperature = 61;      // u8 deg F, 0xFF = not measured
constexpr std::size_t kHeaderHumFrequency = 62;     // u8, 50 = 50 Hz, else 60 Hz
constexpr std::size_t kHeaderEquivRes40C = 63;      // measured; FF FF FF = not measured
constexpr std::size_t kHeaderOperator = 80;         // 20 characters each
constexpr std::size_t kHeaderDescription = 100;
constexpr std::size_t kHeaderLocation = 120;
constexpr std::size_t kHeaderCompany = 140;
constexpr std::size_t kHeaderTextSize = 20;

constexpr std::uint16_t kNotMeasured16 = 0xFFFF;
constexpr unsigned char kNotMeasured8 = 0xFF;

// The tester's 16-bit words (L, numbers, voltages, ratios, sample words) stand high byte first.
constexpr unsigned int BigEndian16(const unsigned char* bytes)
{
    return static_cast<unsigned int>(bytes[0]) << 8 | bytes[1];
}

// Whether `bytes` (at least kMagicSize of them) begin with the magic number, stored low byte first.
constexpr bool HasMagic(const unsigned char* bytes)
{
    return (static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
            static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24) == kMagic;
}

}  // namespace kel
