// The pixels that a polyline covers when drawn with a round pen: every pixel
// whose centre lies within half the pen width of one of its segments (round
// ends and joins included). A raster surface fills them as vertical runs,
// which is far cheaper than stroking thousands of short wide segments.
#pragma once

#include <vector>

#include "services/drawing_surface.h"

namespace platform {

struct PixelRun {
    int x = 0;
    int top = 0;     // first covered row
    int bottom = 0;  // last covered row
    friend bool operator==(const PixelRun&, const PixelRun&) = default;
};

// The covered pixels of `count` points (count >= 1) drawn with a round pen of
// `width` units, as runs in column order, top to bottom within a column, never
// overlapping or touching. Only columns from `clipLeft` to `clipRight` are returned.
std::vector<PixelRun> WidePolylineRuns(const Point* points, int count, int width, int clipLeft, int clipRight);

}  // namespace platform
