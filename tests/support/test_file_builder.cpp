#include "support/test_file_builder.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/names.h"
#include "testfile/kel_values.h"

namespace kel_test {

TestFileBuilder::TestFileBuilder() : header_(160, 0), magic_(0xF00D1234)
{
    TestNumber(1).Date(0x03, 0x14, 0x26).Time(0x09, 0x30, 0x00).TestType(2).TestVoltage(500);
    Capacitance(0xFFFF).PiRatio(0xFFFF).DdRatio(0xFFFF).Temperature(0xFF).HumFrequency(60);
    Byte(63, 0xFF).Byte(64, 0xFF).Byte(65, 0xFF);
    Measured(33, 'G', 0x02, 1000).Measured(37, 'n', 0x02, 500);
}

TestFileBuilder& TestFileBuilder::Byte(std::size_t offset, std::uint8_t value)
{
    header_.at(offset) = value;
    return *this;
}

TestFileBuilder& TestFileBuilder::Word(std::size_t offset, std::uint16_t value)
{
    return Byte(offset, static_cast<std::uint8_t>(value >> 8)).Byte(offset + 1, static_cast<std::uint8_t>(value));
}

TestFileBuilder& TestFileBuilder::Measured(std::size_t offset, char unit, std::uint8_t flags, std::uint16_t mantissa)
{
    return Byte(offset, static_cast<std::uint8_t>(unit)).Byte(offset + 1, flags).Word(offset + 2, mantissa);
}

TestFileBuilder& TestFileBuilder::Text(std::size_t offset, const std::string& text)
{
    for (std::size_t i = 0; i < 20; ++i) Byte(offset + i, i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
    return *this;
}

TestFileBuilder& TestFileBuilder::Date(std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    return Byte(6, a).Byte(7, b).Byte(8, c);
}

TestFileBuilder& TestFileBuilder::Time(std::uint8_t h, std::uint8_t m, std::uint8_t s)
{
    return Byte(9, h).Byte(10, m).Byte(11, s);
}

TestFileBuilder& TestFileBuilder::StepInterval(std::uint8_t minutes, std::uint8_t seconds)
{
    return Byte(59, minutes).Byte(60, seconds);
}

TestFileBuilder& TestFileBuilder::StepVoltage(int step, std::uint16_t volts)
{
    return Word(45 + 2 * static_cast<std::size_t>(step), volts);
}

TestFileBuilder& TestFileBuilder::Sample(std::uint16_t volts, std::uint16_t currentWord)
{
    samples_.push_back(static_cast<std::uint8_t>(volts >> 8));
    samples_.push_back(static_cast<std::uint8_t>(volts));
    samples_.push_back(static_cast<std::uint8_t>(currentWord >> 8));
    samples_.push_back(static_cast<std::uint8_t>(currentWord));
    return *this;
}

TestFileBuilder& TestFileBuilder::Samples(int count, std::uint16_t volts, double amperes)
{
    const std::uint16_t word = EncodeCurrentWord(amperes);
    for (int i = 0; i < count; ++i) Sample(volts, word);
    return *this;
}

TestFileBuilder& TestFileBuilder::Length(std::uint16_t length)
{
    length_ = length;
    return *this;
}

TestFileBuilder& TestFileBuilder::Magic(std::uint32_t magic)
{
    magic_ = magic;
    return *this;
}

TestFileBuilder& TestFileBuilder::TruncateTo(std::size_t size)
{
    truncateTo_ = size;
    return *this;
}

std::vector<std::uint8_t> TestFileBuilder::Bytes() const
{
    std::vector<std::uint8_t> header = header_;
    const auto length = static_cast<std::uint16_t>(length_ >= 0 ? length_ : 160 + samples_.size());
    header[0] = static_cast<std::uint8_t>(length >> 8);
    header[1] = static_cast<std::uint8_t>(length);

    std::vector<std::uint8_t> bytes(5 + header.size() + samples_.size());
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(magic_ >> (8 * i));
    bytes[4] = 1;
    std::copy(header.begin(), header.end(), bytes.begin() + 5);
    std::copy(samples_.begin(), samples_.end(), bytes.begin() + 5 + static_cast<std::ptrdiff_t>(header.size()));
    if (bytes.size() > truncateTo_) bytes.resize(truncateTo_);
    return bytes;
}

void TestFileBuilder::Write(const std::string& path) const
{
    WriteFileBytes(path, Bytes());
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path)
{
    std::ifstream in(platform::PathOf(path), std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(platform::PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace kel_test
