// The tester's value encodings: measured values, samples, BCD bytes, the test
// type table and the resistance formatter. Pure functions without state.
#pragma once

#include <cstddef>
#include <cstdint>

// A four-byte reading of the test header, decoded: the value and its unit letter.
// The letter 'O' means over range; any other letter is only printed.
struct MeasuredValue {
    float value = 0.0f;
    char unit = 0;
};

// One second of a test, decoded: current in amperes and resistance in ohms
// (0 stands for over range, that is no measurable current).
struct SampleValue {
    float current = 0.0f;
    float resistance = 0.0f;
};

struct TestTypeInfo {
    int code;
    const char* name;       // long name, e.g. "Polarization Index"
    const char* shortCode;  // "R", "PI", "DD", "SV"
};

// Codes 1 to 5, in code order.
extern const TestTypeInfo testTypeTable[5];

// Long name of a test type code, "Unknown" outside 1-5.
const char* TestTypeName(int code);
// Short code of a test type code, empty outside 1-5.
const char* TestTypeShortCode(int code);

MeasuredValue DecodeMeasuredValue(const unsigned char* bytes);
SampleValue DecodeSample(const unsigned char* bytes);
int DecodeBcd(int byte);
long double PowerOfTen(double base, int exponent);

// Decodes `count` samples of `raw` (four bytes each) into the two arrays.
// `resistances` may be the storage of `raw` itself: sample k is read before
// result k is written, and both cover the same four bytes.
void DecodeSamples(const unsigned char* raw, int count, float* currents, float* resistances);

// The current of a sample word: mantissa (low 12 bits) times 10^-exponent (top 4 bits).
float DecodeCurrentWord(std::uint16_t word);

// A reading in SI units: ohms from T, G, M and K, amperes from m, u, n and p;
// a value with another letter stands as it is.
double InSiUnits(const MeasuredValue& value);
// The letter 'O' (in either case): over range, no number.
bool IsOverRange(const MeasuredValue& value);

// FormatResistance writes at most this many bytes, terminator included.
constexpr std::size_t kResistanceTextSize = 16;

// A resistance in ohms as "%.3lf T/G/M/K"; 0 (over range) reads "> 65 T".
// `buffer` must hold kResistanceTextSize characters; returns `buffer`.
char* FormatResistance(float resistance, char* buffer);

// Encoders, the inverse of the decoders above, for writing test streams
// (demo files, the simulated tester, test fixtures).

// Encodes `value` with `unit`, keeping as many of the four decimals as fit the
// 16-bit mantissa. Negative values encode as 0; values too large saturate.
void EncodeMeasuredValue(double value, char unit, unsigned char* bytes);
// The sample word closest to `amperes`: the largest exponent whose mantissa fits 12 bits.
std::uint16_t EncodeCurrentWord(double amperes);
void EncodeSample(std::uint16_t volts, double amperes, unsigned char* bytes);
// 0-99 as two BCD digits.
unsigned char EncodeBcd(int value);
