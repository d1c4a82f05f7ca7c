// Any bytes as the start of a test file, as the asset trend reads it: the
// decode succeeds or fails cleanly, and what it gives is a value a trend can
// draw (a finite, non-negative reading, a date of the ISO form) or nothing.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>

#include "history/asset_history.h"

namespace {

void Check(const std::optional<double>& value)
{
    if (value && (!std::isfinite(*value) || *value < 0)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    history::TestPoint point;
    if (!history::DecodeTestPoint(std::span<const unsigned char>(data, size), point).Ok()) return 0;
    if (point.dateTime.size() != 19 || point.dateTime[10] != 'T') std::abort();
    for (const auto& value : {point.resistance1Min, point.resistance1Min40C, point.piRatio, point.ddRatio, point.darRatio})
        Check(value);
    // Grouping and flagging one point must hold as well.
    const std::vector<history::Asset> assets = history::BuildAssets({point}, history::Limits{});
    if (assets.size() != 1 || assets[0].tests.size() != 1) std::abort();
    return 0;
}
