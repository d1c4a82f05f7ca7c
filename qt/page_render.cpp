#include "qt/page_render.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <filesystem>
#include <system_error>

#include "qt/atomic_file_device.h"

#include "display/report_drawing.h"
#include "display/trend_drawing.h"
#include "testfile/kel_file.h"
#include "qt/qt_drawing_surface.h"

namespace {

void Draw(QPainter& painter, QSize size, CKELFile* records, int count, bool printing, int zoomed, int zoomResistance)
{
    if (count <= 0) return;  // no test shown: an empty page
    platform::QtDrawingSurface surface(painter, size);
    CDisplayTest display;
    display.Prepare(&surface, records, count, printing ? 1 : 0);
    const platform::Rect rect{0, 0, surface.GetDeviceCaps(platform::kHorzRes),
                              surface.GetDeviceCaps(platform::kVertRes)};
    display.DrawPage(rect, zoomed, zoomResistance);
}

// The printable area in the device's own pixels.
QSize PrintableSize(QPagedPaintDevice& printer)
{
    return printer.pageLayout().paintRectPixels(printer.logicalDpiX()).size();
}

}  // namespace

QImage RenderPageImage(CKELFile* records, int count, QSize size, bool paper, int zoomed, int zoomResistance)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    Draw(painter, size, records, count, paper, zoomed, zoomResistance);
    painter.end();
    return image;
}

bool PrintPage(QPagedPaintDevice& printer, CKELFile* records, int count, int zoomed, int zoomResistance)
{
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    // The painter's origin is the printable area's top-left corner.
    const QSize size = PrintableSize(printer);
    Draw(painter, size, records, count, true, zoomed, zoomResistance);
    return painter.end();
}

SheetPerTest::SheetPerTest(QPagedPaintDevice& printer) : printer_(printer) {}

SheetPerTest::~SheetPerTest()
{
    if (painter_ && painter_->isActive()) painter_->end();
}

bool SheetPerTest::Add(CKELFile& record)
{
    if (failed_) return false;
    if (!painter_) {
        painter_ = std::make_unique<QPainter>();
        failed_ = !painter_->begin(&printer_);
    } else {
        failed_ = !printer_.newPage();
    }
    if (failed_) return false;
    Draw(*painter_, PrintableSize(printer_), &record, 1, true, 0, 0);
    return true;
}

bool SheetPerTest::End()
{
    return !failed_ && painter_ && painter_->end();
}

bool PrintEachTest(QPagedPaintDevice& printer, int count, const std::function<bool(int, CKELFile&)>& load)
{
    SheetPerTest sheets(printer);
    for (int i = 0; i < count; ++i) {
        CKELFile record;
        if (load(i, record) && !sheets.Add(record)) return false;
    }
    return sheets.End();
}

bool WritePdf(const std::string& output, bool landscape, int dpi, const QString& title,
              const std::function<bool(QPagedPaintDevice&)>& print)
{
    platform::AtomicFileDevice file{std::filesystem::path(output)};
    if (!file.open(QIODevice::WriteOnly)) return false;
    bool ok = false;
    {
        // The paper a printer would take by default (A4 or the locale's).
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        QPdfWriter writer(&file);
        writer.setResolution(dpi);
        writer.setPageLayout(printer.pageLayout());
        writer.setPageOrientation(landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("KEL-7300"));
        ok = print(writer);
    }
    // The painter's end wrote the trailer; a document not finished never takes the name.
    return ok && file.Commit();
}

bool WritePng(const std::string& output, const QImage& image)
{
    platform::AtomicFileDevice file{std::filesystem::path(output)};
    return file.open(QIODevice::WriteOnly) && image.save(&file, "PNG") && file.Commit();
}

QImage RenderTrendImage(const history::Asset& asset, const history::Limits& limits, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    platform::QtDrawingSurface surface(painter, size);
    DrawTrendPage(surface, asset, limits, {0, 0, size.width() - 1, size.height() - 1});
    painter.end();
    return image;
}

bool PrintTrendPages(QPagedPaintDevice& printer, const std::vector<const history::Asset*>& assets,
                     const history::Limits& limits)
{
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QSize size = PrintableSize(printer);
    for (std::size_t i = 0; i < assets.size(); ++i) {
        if (i > 0 && !printer.newPage()) return false;
        platform::QtDrawingSurface surface(painter, size);
        DrawTrendPage(surface, *assets[i], limits, {0, 0, size.width() - 1, size.height() - 1});
    }
    return painter.end();
}
