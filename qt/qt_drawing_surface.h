// The drawing surface over a QPainter, for any paint device: a widget, an
// image, a printer or the print preview. Positions are the device's pixels.
#pragma once

#include <QFont>
#include <QPainter>
#include <QPoint>
#include <QSize>

#include <optional>
#include <vector>

#include "services/drawing_surface.h"

namespace platform {

class QtDrawingSurface : public DrawingSurface {
public:
    // `deviceSize` is what GetDeviceCaps reports: the printable area of a
    // printer, the size of an image or a widget.
    QtDrawingSurface(QPainter& painter, QSize deviceSize);

    void SelectPen(const Pen& pen) override;
    void SelectBrush(const Brush& brush) override;
    void SelectNullPen() override;
    void SelectNullBrush() override;
    void SelectFont(const FontSpec& font) override;
    void DeleteFont() override;
    TextMetrics GetTextMetrics() override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const Point* points, int count) override;
    void TextOut(int x, int y, const char* text, int length) override;
    void DrawText(const char* text, int length, const Rect& rect, int format) override;
    int GetTextExtent(const char* text, int length) override;
    void SetTextColor(Color color) override;
    void SetBkColor(Color color) override;
    int GetDeviceCaps(int index) override;

    // The family the font request resolved to, for checking the installed fonts.
    QString ResolvedFamily() const;

private:
    void DrawTextCell(int x, int y, const QString& text);
    // A raster device in its own pixels (the screen, an image), not a printer or a PDF file.
    bool OnPixels() const;
    double PixelRatio() const;
    void ThinLineWithoutEnd(QPoint from, QPoint to);

    QPainter& painter_;
    QSize deviceSize_;
    QPen pen_;
    std::optional<QColor> brush_;
    QFont font_;
    int cellHeight_ = 0;  // the requested height: every text cell is this high
    QColor textColor_ = Qt::black;
    QColor bkColor_ = Qt::white;
    QPoint position_;
    std::vector<QPoint> points_;
    std::vector<QPoint> linePoints_;
    std::vector<Point> devicePoints_;
};

// The QFont whose character cell on `device` is `height` pixels high (or the
// largest that fits), for the face and weight of `request`.
QFont FontForCellHeight(const FontSpec& request, QPaintDevice* device);

}  // namespace platform
