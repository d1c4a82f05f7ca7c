// When two files hold the same test. A test file is the tester's stream behind
// the program's preamble; the only bytes a user changes are the four header
// texts (operator, description, location, company). Two files hold the same
// test when their bytes are equal outside those 80 bytes; they are identical
// when every byte is equal. Every place that must not lose a test to another
// (the download, Save Test, the asset trend) asks this one rule.
#pragma once

#include <cstddef>
#include <span>

namespace kel {

enum class Sameness {
    Identical,  // every byte equal
    SameTest,   // equal outside the header texts: the same test, other texts
    Different,  // another test, or not a test at all
};

// The file offsets of the four header texts: [kTextsBegin, kTextsEnd).
constexpr std::size_t kTextsBegin = 85;
constexpr std::size_t kTextsEnd = 165;

// How `a` stands to `b`. Two files shorter than a whole header are compared
// byte for byte only: they are Identical or Different.
Sameness CompareTests(std::span<const unsigned char> a, std::span<const unsigned char> b);

}  // namespace kel
