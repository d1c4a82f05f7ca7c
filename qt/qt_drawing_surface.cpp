#include "qt/qt_drawing_surface.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "qt/wide_polyline.h"

namespace platform {
namespace {

QColor ToQColor(Color color)
{
    return QColor(color.red, color.green, color.blue);
}

QFont::Weight ToQtWeight(int weight)
{
    // Both scales run from 100 (thin) to 900 (black).
    return static_cast<QFont::Weight>(std::clamp(weight, 100, 900));
}

}  // namespace

QFont FontForCellHeight(const FontSpec& request, QPaintDevice* device)
{
    // The pixel size of each request is searched once per device resolution.
    static QHash<QString, int> pixelSizes;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(QString::fromLatin1(request.faceName.c_str()))
                            .arg(request.weight)
                            .arg(request.height)
                            .arg(device ? device->logicalDpiY() : 0);
    QFont font(QString::fromLatin1(request.faceName.c_str()));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setWeight(ToQtWeight(request.weight));
    font.setItalic(request.italic != 0);
    font.setUnderline(request.underline != 0);
    font.setStrikeOut(request.strikeOut != 0);
    font.setKerning(false);
    const int height = std::max(request.height, 1);
    if (const auto it = pixelSizes.constFind(key); it != pixelSizes.constEnd()) {
        font.setPixelSize(*it);
        return font;
    }
    // Start from the face's proportions and step to the largest size whose
    // cell (ascent plus descent) is not higher than asked for.
    font.setPixelSize(100);
    const int cellAt100 = std::max(QFontMetrics(font, device).height(), 1);
    int size = std::max(1, height * 100 / cellAt100);
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font, device).height() > height) font.setPixelSize(--size);
    while (true) {
        font.setPixelSize(size + 1);
        if (QFontMetrics(font, device).height() > height) break;
        ++size;
    }
    font.setPixelSize(size);
    pixelSizes.insert(key, size);
    return font;
}

QtDrawingSurface::QtDrawingSurface(QPainter& painter, QSize deviceSize) : painter_(painter), deviceSize_(deviceSize)
{
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    pen_ = QPen(Qt::black, 1);
    font_ = painter_.font();
    cellHeight_ = QFontMetrics(font_, painter_.device()).height();
}

void QtDrawingSurface::SelectPen(const Pen& pen)
{
    const int width = std::max(pen.width, 1);
    pen_ = QPen(ToQColor(pen.color), width, Qt::SolidLine, width > 1 ? Qt::RoundCap : Qt::SquareCap,
                width > 1 ? Qt::RoundJoin : Qt::MiterJoin);
}

void QtDrawingSurface::SelectBrush(const Brush& brush)
{
    brush_ = ToQColor(brush.color);
}

void QtDrawingSurface::SelectNullPen()
{
    pen_ = QPen(Qt::NoPen);
}

void QtDrawingSurface::SelectNullBrush()
{
    brush_.reset();
}

void QtDrawingSurface::SelectFont(const FontSpec& font)
{
    font_ = FontForCellHeight(font, painter_.device());
    cellHeight_ = std::max(font.height, 1);
}

void QtDrawingSurface::DeleteFont()
{
    font_ = QFont();
    cellHeight_ = QFontMetrics(font_, painter_.device()).height();
}

TextMetrics QtDrawingSurface::GetTextMetrics()
{
    const QFontMetrics metrics(font_, painter_.device());
    return {cellHeight_, metrics.averageCharWidth()};
}

QString QtDrawingSurface::ResolvedFamily() const
{
    return QFontInfo(font_).family();
}

void QtDrawingSurface::Rectangle(int left, int top, int right, int bottom)
{
    // The inside covers left to right - 1 and top to bottom - 1; the outline runs
    // along those edges, centred on them when the pen is wider.
    if (right <= left || bottom <= top) return;
    if (brush_) painter_.fillRect(QRect(left, top, right - left, bottom - top), *brush_);
    if (pen_.style() != Qt::NoPen) {
        painter_.setPen(pen_);
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
    }
}

void QtDrawingSurface::MoveTo(int x, int y)
{
    position_ = QPoint(x, y);
}

bool QtDrawingSurface::OnPixels() const
{
    const QPaintEngine* engine = painter_.paintEngine();
    return engine && engine->type() == QPaintEngine::Raster && painter_.transform().isIdentity();
}

double QtDrawingSurface::PixelRatio() const
{
    // A high-resolution screen has several device pixels to each unit of the page.
    return painter_.device() ? painter_.device()->devicePixelRatioF() : 1.0;
}

void QtDrawingSurface::ThinLineWithoutEnd(QPoint from, QPoint to)
{
    // As the toolkit draws a one-unit line: every pixel from the start up to,
    // not including, the end point. Qt would paint the end pixel too.
    const int dx = to.x() - from.x(), dy = to.y() - from.y();
    if (dx == 0 && dy == 0) return;
    const int steps = std::max(std::abs(dx), std::abs(dy));
    if (PixelRatio() != 1.0) {
        // Units of several device pixels: the same line one unit shorter, drawn at the device's resolution.
        const QPointF last(from.x() + dx * (steps - 1) / static_cast<double>(steps),
                           from.y() + dy * (steps - 1) / static_cast<double>(steps));
        painter_.drawLine(QPointF(from), last);
        return;
    }
    if (dx == 0 || dy == 0) {
        const QPoint last(to.x() - (dx > 0) + (dx < 0), to.y() - (dy > 0) + (dy < 0));
        if (last == from) painter_.drawPoint(from);
        else painter_.drawLine(from, last);
        return;
    }
    // A slanted line: one pixel per step of its longer axis, rounded along the shorter one.
    linePoints_.resize(static_cast<std::size_t>(steps));
    for (int i = 0; i < steps; ++i) {
        const auto along = [&](int start, int delta) {
            const long long scaled = 2LL * delta * i + (delta >= 0 ? steps : -steps);
            return start + static_cast<int>(scaled / (2LL * steps));
        };
        linePoints_[static_cast<std::size_t>(i)] = QPoint(along(from.x(), dx), along(from.y(), dy));
    }
    painter_.drawPoints(linePoints_.data(), steps);
}

void QtDrawingSurface::LineTo(int x, int y)
{
    const QPoint to(x, y);
    if (pen_.style() != Qt::NoPen) {
        painter_.setPen(pen_);
        if (pen_.width() <= 1 && OnPixels()) ThinLineWithoutEnd(position_, to);
        else painter_.drawLine(position_, to);
    }
    position_ = to;
}

void QtDrawingSurface::Polyline(const Point* points, int count)
{
    if (count <= 0) return;
    points_.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) points_[static_cast<std::size_t>(i)] = QPoint(points[i].x, points[i].y);
    position_ = points_.back();
    if (pen_.style() == Qt::NoPen || count < 2) return;
    // On pixels, a wide curve is filled as the vertical runs its round pen
    // covers: Qt's stroker is far slower with thousands of short wide segments.
    // Printers and PDF files keep the stroked vector curve.
    if (pen_.width() > 1 && OnPixels()) {
        const QColor color = pen_.color();
        const double ratio = PixelRatio();
        if (ratio == 1.0) {
            for (const PixelRun& run : WidePolylineRuns(points, count, pen_.width(), 0, deviceSize_.width() - 1))
                painter_.fillRect(QRect(run.x, run.top, 1, run.bottom - run.top + 1), color);
            return;
        }
        // The runs in device pixels, so that the curve is as sharp as the screen.
        devicePoints_.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            devicePoints_[static_cast<std::size_t>(i)] = {static_cast<int>(std::lround(points[i].x * ratio)),
                                                          static_cast<int>(std::lround(points[i].y * ratio))};
        const int width = static_cast<int>(std::lround(pen_.width() * ratio));
        const int lastColumn = static_cast<int>(std::lround(deviceSize_.width() * ratio)) - 1;
        painter_.save();
        painter_.scale(1.0 / ratio, 1.0 / ratio);
        for (const PixelRun& run : WidePolylineRuns(devicePoints_.data(), count, width, 0, lastColumn))
            painter_.fillRect(QRect(run.x, run.top, 1, run.bottom - run.top + 1), color);
        painter_.restore();
        return;
    }
    painter_.setPen(pen_);
    if (pen_.width() <= 1 && OnPixels()) {
        // Like the lines it stands for, the polyline stops short of its last point.
        if (count > 2) painter_.drawPolyline(points_.data(), count - 1);
        ThinLineWithoutEnd(points_[static_cast<std::size_t>(count) - 2], points_.back());
        return;
    }
    painter_.drawPolyline(points_.data(), count);
}

void QtDrawingSurface::DrawTextCell(int x, int y, const QString& text)
{
    const QFontMetrics metrics(font_, painter_.device());
    const int width = metrics.horizontalAdvance(text);
    // The background behind the cell is opaque; the glyphs sit centred in the
    // cell when the font's own cell came out a little smaller.
    painter_.fillRect(QRect(x, y, width, cellHeight_), bkColor_);
    painter_.setFont(font_);
    painter_.setPen(textColor_);
    const int baseline = y + (cellHeight_ - metrics.height()) / 2 + metrics.ascent();
    painter_.drawText(QPoint(x, baseline), text);
}

void QtDrawingSurface::TextOut(int x, int y, const char* text, int length)
{
    DrawTextCell(x, y, QString::fromLatin1(text, length));
}

int QtDrawingSurface::GetTextExtent(const char* text, int length)
{
    return QFontMetrics(font_, painter_.device()).horizontalAdvance(QString::fromLatin1(text, length));
}

void QtDrawingSurface::DrawText(const char* text, int length, const Rect& rect, int format)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top) return;
    const QString line = QString::fromLatin1(text, length);
    int x = rect.left;
    if (format == kDrawTextCenter) {
        const int width = QFontMetrics(font_, painter_.device()).horizontalAdvance(line);
        x = rect.left + (rect.Width() - width) / 2;
    }
    painter_.save();
    painter_.setClipRect(QRect(rect.left, rect.top, rect.Width(), rect.Height()), Qt::IntersectClip);
    DrawTextCell(x, rect.top, line);
    painter_.restore();
}

void QtDrawingSurface::SetTextColor(Color color)
{
    textColor_ = ToQColor(color);
}

void QtDrawingSurface::SetBkColor(Color color)
{
    bkColor_ = ToQColor(color);
}

int QtDrawingSurface::GetDeviceCaps(int index)
{
    if (index == kHorzRes) return deviceSize_.width();
    if (index == kVertRes) return deviceSize_.height();
    return 0;
}

}  // namespace platform
