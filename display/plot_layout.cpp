#include "display/plot_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "testfile/kel_file.h"
#include "testfile/kel_values.h"

namespace plot_layout {

const char* const kResistanceLabels[8] = {"  1 T", "100 G", " 10 G", "  1 G", "100 M", " 10 M", "  1 M", "100 K"};
const char* const kCurrentLabels[8] = {"100 uA", " 10 uA", "  1 uA", "100 nA", " 10 nA", "  1 nA", "100 pA", " 10 pA"};

int DecadeOffset(double q, int decade)
{
    return static_cast<int>(std::log10(q) * decade);
}

namespace {

int Clamp(double y, int top, int bottom)
{
    // Far outside the frame a position need not be exact, only on the right side.
    if (y < top) return top;
    if (y > bottom) return bottom;
    return static_cast<int>(y);
}

}  // namespace

int ResistanceY(float ohms, int top, int bottom, int decade)
{
    const double v = ohms;
    if (v == 0) return top;  // over range
    if (!(v > 0)) return bottom;
    // The first decade base below the value, counted up from the bottom edge.
    static constexpr double kBases[] = {1e12, 1e11, 1e10, 1e9, 1e8, 1e7, 1e6};
    for (int k = 0; k < 7; ++k) {
        if (v > kBases[k]) {
            const double y = static_cast<double>(bottom) - (7 - k) * static_cast<double>(decade) -
                             DecadeOffset(v / kBases[k], decade);
            return Clamp(y, top, bottom);
        }
    }
    return Clamp(static_cast<double>(bottom) - DecadeOffset(v / 1e5, decade), top, bottom);
}

int CurrentY(float amperes, int top, int bottom, int decade)
{
    const double v = amperes;
    if (v > 1e-3) return top;
    static constexpr double kBases[] = {1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9, 1e-10, 1e-11};
    for (int k = 0; k < 8; ++k) {
        if (v > kBases[k]) {
            const double y = static_cast<double>(bottom) - (7 - k) * static_cast<double>(decade) -
                             DecadeOffset(v / kBases[k], decade);
            return Clamp(y, top, bottom);
        }
    }
    return bottom;  // 0 included
}

int SampleX(int u, int count, int left, int width)
{
    return left + static_cast<int>(static_cast<double>(u) / count * width);
}

std::vector<int> MinuteTicks(int sampleCount, int frameLeft, int frameWidth)
{
    std::vector<int> ticks;
    const int minutes = sampleCount / 60;
    if (minutes <= 1) return ticks;
    const int step = frameWidth / minutes;
    for (int k = 1; k < minutes; ++k) ticks.push_back(frameLeft + k * step);
    return ticks;
}

}  // namespace plot_layout
