// The geometry and texts of the plot and the page as plain functions, so that
// they can be checked without drawing.
#pragma once

#include <string>
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

// One line of the page's time table: resistance at a fixed time of the test.
struct TimeTableEntry {
    int t;             // seconds
    int index;         // 0-17: rows 0-8 form the first column, 9-17 the second
    std::string label; // "R@%d%s": 45sec, 2min
    std::string value; // the final resistance text, or the sample's resistance text
    std::string line;  // "R@%d%s : %s"
};
// The entries of the first 15 minutes that the test reaches: 15, 30, 45 s and
// every minute. An entry past the end of the test is left out; the entry at the
// test's last second shows its final resistance text.
std::vector<TimeTableEntry> TimeTable(const CKELFile& test);

}  // namespace plot_layout
