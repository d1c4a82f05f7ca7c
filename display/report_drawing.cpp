#include "display/report_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "display/plot_layout.h"
#include "testfile/kel_file.h"
#include "testfile/results_description.h"

using platform::Rect;

const platform::Color CDisplayTest::colorTable[20] = {
    {0, 0, 0},       {0, 0, 128},     {0, 128, 0},   {0, 128, 128}, {128, 0, 0},
    {128, 0, 128},   {128, 64, 0},    {192, 192, 192}, {128, 128, 128}, {0, 0, 255},
    {0, 255, 0},     {0, 255, 255},   {255, 0, 0},   {255, 0, 255}, {255, 255, 0},
    {255, 255, 255}, {200, 200, 200}, {0, 255, 0},   {0, 0, 255},   {255, 0, 0},
};

namespace {

// The curves have colours for four tests; a fifth is never drawn.
constexpr int kMaxCurves = 4;

struct CurvePen {
    int color;
    int width;
};

CurvePen CurvePenOf(int record, int recordCount, int printing, int currentPlot)
{
    static constexpr CurvePen kOverlaid[kMaxCurves] = {{19, 3}, {3, 3}, {14, 3}, {17, 3}};
    if (recordCount >= 2) return kOverlaid[record];
    if (printing) return {19, 5};
    return currentPlot ? CurvePen{14, 3} : CurvePen{17, 3};
}

void Text(platform::DrawingSurface* dc, const char* text, const Rect& rect, int format)
{
    dc->DrawText(text, static_cast<int>(std::strlen(text)), rect, format);
}

}  // namespace

CDisplayTest::~CDisplayTest() = default;

void CDisplayTest::Prepare(platform::DrawingSurface* surface, CKELFile* firstRecord, int count, int printingFlag)
{
    dc = surface;
    records = firstRecord;
    recordCount = count;
    printing = printingFlag;
}

void CDisplayTest::SelectColor(int colorIndex, int penStyle, int penWidth)
{
    if (pen) {
        dc->SelectNullPen();
        pen.reset();
    }
    if (colorIndex < 0 || colorIndex >= 20) colorIndex = 0;
    if (printing && (colorIndex == 7 || colorIndex == 15)) colorIndex = 0;
    pen = platform::Pen{penStyle, penWidth, colorTable[colorIndex]};
    if (brush) {
        dc->SelectNullBrush();
        brush.reset();
    }
    brush = platform::Brush{colorTable[colorIndex]};
    dc->SelectPen(*pen);
    dc->SelectBrush(*brush);
}

void CDisplayTest::DrawLine(int x1, int y1, int x2, int y2)
{
    dc->MoveTo(x1, y1);
    dc->LineTo(x2, y2);
}

void CDisplayTest::DrawBox(const Rect& rect, int filled)
{
    if (filled && brush) dc->SelectBrush(*brush);
    else dc->SelectNullBrush();
    dc->Rectangle(rect.left, rect.top, rect.right, rect.bottom);
}

platform::TextMetrics CDisplayTest::SelectFont(int height, int weight)
{
    platform::FontSpec font;
    font.height = height;
    font.weight = weight;
    font.faceName = "Courier New";
    dc->SelectFont(font);
    return dc->GetTextMetrics();
}

void CDisplayTest::DrawPlot(const Rect& R, int currentPlot)
{
    const platform::TextMetrics metrics = SelectFont(R.Height() / (printing ? 40 : 24), 800);
    const int H = metrics.tmHeight;
    const int W = metrics.tmAveCharWidth;
    const int minutes = records[0].sampleCount / 60;

    Text(dc, currentPlot ? "Current Plot" : "Resistance Plot", R, platform::kDrawTextCenter);

    const Rect F{R.left + 7 * W, R.top + H, R.right, R.bottom - 2 * H};
    const int Fw = F.Width();
    const int Fh = F.Height();

    const int labelTop = F.bottom + H / 2;
    dc->TextOut(F.left, labelTop, "0 Minutes", 9);
    char minutesText[16];
    const int n = std::snprintf(minutesText, sizeof minutesText, "%d", minutes);
    dc->TextOut(R.right - (n + 1) * W, labelTop, minutesText, n);

    if (!printing) {
        SelectColor(15, 0, 2);
        DrawBox(F, 1);
    }
    SelectColor(0, 0, 2);
    DrawBox(F, 0);

    if (minutes > 1) {
        SelectColor(7, 0, 1);
        for (const int x : plot_layout::MinuteTicks(records[0].sampleCount, F.left, Fw))
            DrawLine(x, F.bottom - 1, x, F.bottom - Fh / 30 - 1);
    }

    SelectColor(0, 0, 1);
    const int D = Fh / 8;
    for (int k = 1; k <= 7; ++k) DrawLine(F.left, F.top + k * D, R.right, F.top + k * D);

    if (printing) SelectColor(0, 0, 7);
    else SelectColor(15, 0, 3);
    const int tickLength = printing ? 20 : 5;
    for (int k = 1; k <= 7; ++k) DrawLine(F.left - tickLength, F.top + k * D, F.left, F.top + k * D);

    SelectColor(0, 0, 1);
    int minor[4];
    for (int j = 0; j < 4; ++j) minor[j] = plot_layout::DecadeOffset(2.0 * (j + 1), D);
    const char* const* labels = currentPlot ? plot_layout::kCurrentLabels : plot_layout::kResistanceLabels;
    for (int i = 0; i < 8; ++i) {
        const int y = F.top + (i + 1) * D;
        for (const int offset : minor) DrawLine(F.left, y - offset, R.right, y - offset);
        dc->TextOut(R.left, y - H / 2, labels[i], static_cast<int>(std::strlen(labels[i])));
    }

    const int curves = std::min(recordCount, kMaxCurves);
    std::vector<platform::Point> points;
    for (int r = 0; r < curves; ++r) {
        const CurvePen curvePen = CurvePenOf(r, recordCount, printing, currentPlot);
        SelectColor(curvePen.color, 0, curvePen.width);
        const CKELFile& test = records[r];
        const float* values = currentPlot ? test.currents.get() : test.resistances.get();
        const int count = test.sampleCount;
        if (!values || count < 2) continue;  // a header-only record, or no segment to draw
        // One polyline per curve: the same segments as a line from each sample to the next.
        points.resize(static_cast<std::size_t>(count));
        for (int u = 0; u < count; ++u) {
            const int y = currentPlot ? plot_layout::CurrentY(values[u], F.top, F.bottom, D)
                                      : plot_layout::ResistanceY(values[u], F.top, F.bottom, D);
            points[static_cast<std::size_t>(u)] = {plot_layout::SampleX(u, count, F.left, Fw), y};
        }
        dc->Polyline(points.data(), count);
    }

    dc->DeleteFont();
}

void CDisplayTest::DrawPage(const Rect& R, int zoomed, int zoomResistance)
{
    SelectColor(9, 0, 1);
    if (!printing) {
        DrawBox(R, 1);
        dc->SetTextColor(colorTable[0]);
        dc->SetBkColor(colorTable[15]);
    }
    SelectColor(0, 0, 1);

    const int half = R.Height() / 2;
    Rect box{R.left + 20, R.top + 20, R.right - 20, 0};
    const int bw = (R.right - 20) - (R.left + 20);
    const platform::TextMetrics metrics = SelectFont((half - 20) / (printing ? 24 : 15), 700);
    const int H = metrics.tmHeight;
    const int W = metrics.tmAveCharWidth;

    if (zoomed) {
        if (!printing) {
            dc->SetTextColor(colorTable[15]);
            dc->SetBkColor(colorTable[9]);
        }
        DrawPlot({R.left + 50, R.top, R.right - 50, R.bottom}, zoomResistance ? 0 : 1);
        dc->DeleteFont();
        return;
    }

    box.bottom = box.top + 16 * H;
    if (!printing) {
        SelectColor(15, 0, 1);
        DrawBox(box, 1);
    }
    SelectColor(0, 0, 1);
    DrawBox(box, 0);

    const CKELFile& test = records[0];
    const int clipBottom = R.top + half;
    int y = box.top + 5;
    char line[256];
    const auto header = [&](int ruleAfter) {
        Text(dc, line, {box.left, y, box.right, clipBottom}, platform::kDrawTextCenter);
        y += H;
        if (ruleAfter) {
            DrawLine(box.left, y, box.right, y);
            y += H / 2;
        }
    };
    std::snprintf(line, sizeof line, "Test Number: %d   Date: %d/%d/%d  Time: %d:%d:%d", test.testNumber,
                  test.dateParts[0], test.dateParts[1], test.dateParts[2], test.timeParts[0], test.timeParts[1],
                  test.timeParts[2]);
    header(1);
    std::snprintf(line, sizeof line, "Company:   %-20s  Location: %-20s", test.company, test.location);
    header(0);
    std::snprintf(line, sizeof line, "Test Desc: %-20s  Operator: %-20s", test.description, test.operatorName);
    header(1);
    std::snprintf(line, sizeof line, "Test Type: %s", test.testTypeName);
    header(1);

    // The results and the time table stand inside the box's outline and above the clip. Where the
    // page font leaves a line cut or outside the box (a short or narrow page, a portrait sheet,
    // many result lines), the region takes the largest smaller size of the same face at which
    // everything fits; where it fits, the page is drawn exactly as laid out above.
    const Rect inside{box.left + 1, y, box.right - 1, std::min(clipBottom, box.bottom - 1)};
    std::vector<PlacedText> texts = LayOutResults(test, box.left, bw, y, H, W);
    if (!FitsInside(texts, inside, H)) {
        // The largest height that fits, by bisection: a few font selections even on a 600 dpi sheet.
        const auto layOut = [&](int height, bool& fits) {
            const platform::TextMetrics smaller = SelectFont(height, 700);
            texts = LayOutResults(test, box.left, bw, y, smaller.tmHeight, smaller.tmAveCharWidth);
            fits = FitsInside(texts, inside, smaller.tmHeight);
        };
        int low = 1, high = metrics.tmHeight - 1;
        bool fits = false;
        while (low < high) {
            const int middle = (low + high + 1) / 2;
            layOut(middle, fits);
            if (fits) low = middle;
            else high = middle - 1;
        }
        layOut(low, fits);
    }
    for (const PlacedText& text : texts)
        Text(dc, text.text.c_str(), {text.left, text.top, box.right, clipBottom}, platform::kDrawTextLeft);

    const int plotTop = box.top + 16 * H + 10;
    const int mid = (R.left + 10) + ((R.right - 10) - (R.left + 10)) / 2;
    if (!printing) {
        dc->SetTextColor(colorTable[15]);
        dc->SetBkColor(colorTable[9]);
    }
    DrawPlot({R.left + 10, plotTop, mid, R.bottom}, 0);
    DrawPlot({mid + 10, plotTop, R.right - 10, R.bottom}, 1);
    dc->DeleteFont();
}

std::vector<CDisplayTest::PlacedText> CDisplayTest::LayOutResults(const CKELFile& test, int boxLeft, int bw, int top,
                                                                 int H, int W)
{
    std::vector<PlacedText> texts;
    const int middle = boxLeft + bw / 2;
    int y = top;
    for (const TestResult& result : DescribeResults(test)) {
        if (!result.onPage) continue;
        const int left = result.column == PageColumn::Indent     ? boxLeft + 4 * W
                         : result.column == PageColumn::Centre20 ? middle - 20 * W
                                                                 : middle - 30 * W;
        texts.push_back({left, y, result.pageLine});
        y += result.linesAfter * H;
    }

    // The time table: nine entries a column, the second column 20 characters right of the first.
    if (HasTimeTable(test)) {
        for (const TimeTableEntry& entry : TimeTable(test)) {
            const int column = entry.index / 9;
            texts.push_back({boxLeft + 50 * W + column * 20 * W, top + (entry.index % 9) * H, entry.line});
        }
    }
    return texts;
}

bool CDisplayTest::FitsInside(const std::vector<PlacedText>& texts, const Rect& inside, int H)
{
    std::vector<Rect> cells;
    for (const PlacedText& text : texts) {
        const int width = dc->GetTextExtent(text.text.c_str(), static_cast<int>(text.text.size()));
        const Rect cell{text.left, text.top, text.left + width, text.top + H};
        if (cell.left < inside.left || cell.right > inside.right || cell.bottom > inside.bottom) return false;
        // Each text paints its cell's background: one that runs into another would hide its end.
        for (const Rect& other : cells)
            if (cell.left < other.right && other.left < cell.right && cell.top < other.bottom && other.top < cell.bottom)
                return false;
        cells.push_back(cell);
    }
    return true;
}
