// The geometry and texts of the plot and the page as plain functions, so that
// they can be checked without drawing.
#pragma once

#include <vector>

class CKELFile;

namespace plot_layout {

// The row of a resistance in ohms, on a frame whose bottom edge is `bottom`,
// top edge `top` and decade height `decade`; clamped to the frame.
int ResistanceY(float ohms, int top, int bottom, int decade);
// The row of a current in amperes, likewise.
int CurrentY(float amperes, int top, int bottom, int decade);
// trunc(log10(q) * decade), the offset of q within its decade.
int DecadeOffset(double q, int decade);
// The column of sample `u` of `count` samples on a frame `width` wide from `left`.
int SampleX(int u, int count, int left, int width);

// The x of each minute tick: none when the test lasts less than two minutes.
std::vector<int> MinuteTicks(int sampleCount, int frameLeft, int frameWidth);

// The decade labels, top decade line first.
extern const char* const kResistanceLabels[8];
extern const char* const kCurrentLabels[8];

}  // namespace plot_layout
