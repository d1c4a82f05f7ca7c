// CDisplayTest turns loaded test records into pictures: the resistance and
// current plots and the report page, on any drawing surface (screen, printer,
// print preview, image).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "services/drawing_surface.h"

class CKELFile;

class CDisplayTest {
public:
    static const platform::Color colorTable[20];

    CDisplayTest() = default;
    ~CDisplayTest();
    CDisplayTest(const CDisplayTest&) = delete;
    CDisplayTest& operator=(const CDisplayTest&) = delete;

    // Binds the surface and the records of the next drawing; draws nothing.
    void Prepare(platform::DrawingSurface* dc, CKELFile* records, int recordCount, int printing);
    // Makes a pen and a solid brush of one table colour current. On paper the
    // light grey (7) and white (15) become black.
    void SelectColor(int colorIndex, int penStyle, int penWidth);
    void DrawLine(int x1, int y1, int x2, int y2);
    void DrawBox(const platform::Rect& rect, int filled);
    // The resistance plot (currentPlot zero) or the current plot of every bound record.
    void DrawPlot(const platform::Rect& rect, int currentPlot);
    // The report page of the first record with both plots, or one plot alone when zoomed.
    void DrawPage(const platform::Rect& rect, int zoomed, int zoomResistance);

    platform::DrawingSurface* dc = nullptr;
    int printing = 0;
    std::optional<platform::Pen> pen;
    std::optional<platform::Brush> brush;
    int recordCount = 0;
    CKELFile* records = nullptr;

private:
    // Selects the font of the recipe at `height` and `weight`; returns its metrics.
    platform::TextMetrics SelectFont(int height, int weight);
    // One text of the results region: a result line or a time-table entry.
    struct PlacedText {
        int left;
        int top;
        std::string text;
    };
    // Where the result lines and the time table of `test` stand for a font of
    // H by W, from the result top `top`, as the page lays them out.
    static std::vector<PlacedText> LayOutResults(const CKELFile& test, int boxLeft, int boxWidth, int top, int H,
                                                 int W);
    // Whether every text lies whole inside `inside` (the box within its outline, up to the clip).
    bool FitsInside(const std::vector<PlacedText>& texts, const platform::Rect& inside, int H);
};
