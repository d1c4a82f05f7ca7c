// A drawing surface in device units: x grows to the right, y downward.
// Pens, brushes and fonts are descriptions, selected into the surface by value;
// the surface draws with what was selected last. Implemented over QPainter for
// the screen, printers, the print preview and images, and by a recorder in tests.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

struct Color {
    std::uint8_t red = 0, green = 0, blue = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

constexpr int kPenSolid = 0;

struct Pen {
    int style = kPenSolid;
    int width = 1;  // device units; wider pens have round ends and joins
    Color color;
    friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
    Color color;
    friend bool operator==(const Brush&, const Brush&) = default;
};

// A font request. A font asked for with `height` h has a character cell h
// units high, whatever the face's proportions.
struct FontSpec {
    int height = 0;
    int weight = 400;  // 400 normal, 700 bold, 800 extra bold
    int italic = 0;
    int underline = 0;
    int strikeOut = 0;
    std::string faceName;
    friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct TextMetrics {
    int tmHeight = 0;        // the character cell height, H
    int tmAveCharWidth = 0;  // the average character width, W
};

// DrawText formats: one line at the top of the rectangle, clipped to it.
constexpr int kDrawTextLeft = 0;
constexpr int kDrawTextCenter = 1;

// GetDeviceCaps indices: the drawable width and height in device units.
constexpr int kHorzRes = 8;
constexpr int kVertRes = 10;

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    virtual void SelectPen(const Pen& pen) = 0;
    virtual void SelectBrush(const Brush& brush) = 0;
    // The stock null pen (nothing outlined) and null brush (hollow rectangles).
    virtual void SelectNullPen() = 0;
    virtual void SelectNullBrush() = 0;
    virtual void SelectFont(const FontSpec& font) = 0;
    // Releases the selected font; the surface falls back to its default font.
    virtual void DeleteFont() = 0;
    virtual TextMetrics GetTextMetrics() = 0;

    // Outline with the current pen, inside with the current brush.
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // Connected segments through `count` points with the current pen, exactly
    // as MoveTo the first point and LineTo each following one; the current
    // position ends at the last point.
    virtual void Polyline(const Point* points, int count);

    // The text's cell with its top-left corner at (x, y), on the opaque background colour.
    virtual void TextOut(int x, int y, const char* text, int length) = 0;
    // One line at the top of `rect`, left-aligned or centred, clipped to `rect`.
    virtual void DrawText(const char* text, int length, const Rect& rect, int format) = 0;
    // How wide the text is in the selected font, in device units.
    virtual int GetTextExtent(const char* text, int length) = 0;
    virtual void SetTextColor(Color color) = 0;
    virtual void SetBkColor(Color color) = 0;

    virtual int GetDeviceCaps(int index) = 0;
};

}  // namespace platform
