#include "testfile/same_test.h"

#include <algorithm>

#include "testfile/kel_format.h"

namespace kel {

static_assert(kTextsBegin == kPreambleSize + kHeaderOperator);
static_assert(kTextsEnd == kPreambleSize + kHeaderCompany + kHeaderTextSize);

Sameness CompareTests(std::span<const unsigned char> a, std::span<const unsigned char> b)
{
    if (a.size() != b.size()) return Sameness::Different;
    if (std::equal(a.begin(), a.end(), b.begin())) return Sameness::Identical;
    if (a.size() < kTextsEnd) return Sameness::Different;
    const bool before = std::equal(a.begin(), a.begin() + kTextsBegin, b.begin());
    const bool after = std::equal(a.begin() + kTextsEnd, a.end(), b.begin() + kTextsEnd);
    return before && after ? Sameness::SameTest : Sameness::Different;
}

}  // namespace kel
