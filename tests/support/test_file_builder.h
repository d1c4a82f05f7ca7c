// Builds ".kel" test files byte by byte: header fields by name, samples from
// voltage and current, and the damage that malformed files carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kel_test {

class TestFileBuilder {
public:
    // A well-formed insulation-resistance test without samples: every
    // "not measured" marker set, empty texts.
    TestFileBuilder();

    TestFileBuilder& Byte(std::size_t headerOffset, std::uint8_t value);
    TestFileBuilder& Word(std::size_t headerOffset, std::uint16_t value);
    TestFileBuilder& Measured(std::size_t headerOffset, char unit, std::uint8_t flags, std::uint16_t mantissa);
    TestFileBuilder& Text(std::size_t headerOffset, const std::string& text);  // at most 20 bytes written

    TestFileBuilder& TestNumber(std::uint16_t number) { return Word(4, number); }
    TestFileBuilder& Date(std::uint8_t a, std::uint8_t b, std::uint8_t c);     // raw BCD bytes
    TestFileBuilder& Time(std::uint8_t h, std::uint8_t m, std::uint8_t s);     // raw BCD bytes
    TestFileBuilder& TestType(std::uint8_t type) { return Byte(12, type); }
    TestFileBuilder& TestVoltage(std::uint16_t volts) { return Word(53, volts); }
    TestFileBuilder& Capacitance(std::uint16_t hundredthsOfUf) { return Word(55, hundredthsOfUf); }
    TestFileBuilder& PiRatio(std::uint16_t timesHundred) { return Word(43, timesHundred); }
    TestFileBuilder& DdRatio(std::uint16_t timesHundred) { return Word(41, timesHundred); }
    TestFileBuilder& StepInterval(std::uint8_t minutes, std::uint8_t seconds);
    TestFileBuilder& Temperature(std::uint8_t fahrenheit) { return Byte(61, fahrenheit); }
    TestFileBuilder& HumFrequency(std::uint8_t hz) { return Byte(62, hz); }
    TestFileBuilder& StepVoltage(int step, std::uint16_t volts);  // steps 0-3
    TestFileBuilder& Operator(const std::string& text) { return Text(80, text); }
    TestFileBuilder& Description(const std::string& text) { return Text(100, text); }
    TestFileBuilder& Location(const std::string& text) { return Text(120, text); }
    TestFileBuilder& Company(const std::string& text) { return Text(140, text); }

    // Appends one sample of raw words.
    TestFileBuilder& Sample(std::uint16_t volts, std::uint16_t currentWord);
    // Appends `count` samples of the same voltage and current.
    TestFileBuilder& Samples(int count, std::uint16_t volts, double amperes);
    // Sets L instead of deriving it from the samples.
    TestFileBuilder& Length(std::uint16_t length);
    TestFileBuilder& Magic(std::uint32_t magic);
    // Cuts the finished file to `size` bytes.
    TestFileBuilder& TruncateTo(std::size_t size);

    std::vector<std::uint8_t> Bytes() const;
    void Write(const std::string& path) const;

private:
    std::vector<std::uint8_t> header_;
    std::vector<std::uint8_t> samples_;
    std::uint32_t magic_;
    int length_ = -1;
    std::size_t truncateTo_ = static_cast<std::size_t>(-1);
};

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace kel_test
