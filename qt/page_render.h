// The report page of loaded tests drawn onto Qt paint devices: an image of the
// screen page or of the printed page, and one printed sheet on a QPrinter.
// The desktop program prints and previews through PrintPage as well.
#pragma once

#include <QImage>
#include <QSize>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "history/asset_history.h"

class CKELFile;
class QPagedPaintDevice;
class QPainter;

// The page (or the zoomed plot) of `count` records at `size` pixels: as on the
// screen, or with `paper` as drawn for a printer onto a white sheet.
QImage RenderPageImage(CKELFile* records, int count, QSize size, bool paper, int zoomed, int zoomResistance);

// Draws one sheet onto `printer` (a printer or a PDF writer), into its
// printable area in device pixels. Returns false when the printer cannot be
// started or the sheet not finished.
bool PrintPage(QPagedPaintDevice& printer, CKELFile* records, int count, int zoomed, int zoomResistance);

// Prints tests, each alone on a sheet of its own, in one job, as they come:
// the job starts with the first test and ends with End. False from Add when
// the printer cannot be started or a sheet cannot be begun, from End when no
// test was added or the job could not be finished.
class SheetPerTest {
public:
    explicit SheetPerTest(QPagedPaintDevice& printer);
    ~SheetPerTest();
    SheetPerTest(const SheetPerTest&) = delete;
    SheetPerTest& operator=(const SheetPerTest&) = delete;

    bool Add(CKELFile& record);
    bool End();

private:
    QPagedPaintDevice& printer_;
    std::unique_ptr<QPainter> painter_;
    bool failed_ = false;
};

// Prints `count` tests, each alone on a sheet of its own, in one job: `load(i,
// record)` loads test i with its samples, or returns false to leave it out.
// False when the printer cannot be started or a sheet cannot be begun.
bool PrintEachTest(QPagedPaintDevice& printer, int count, const std::function<bool(int index, CKELFile& record)>& load);

// Prints into the PDF file `output` through `print`, on the paper a printer
// would use by default at `dpi`, through the atomic file: the PDF takes the
// output's name only when the whole document was written, and nothing else is
// left. False when it was not.
bool WritePdf(const std::string& output, bool landscape, int dpi, const QString& title,
              const std::function<bool(QPagedPaintDevice&)>& print);
// The image as a PNG file `output`, whole or not at all.
bool WritePng(const std::string& output, const QImage& image);

// The trend page of `asset` as an image of `size` pixels.
QImage RenderTrendImage(const history::Asset& asset, const history::Limits& limits, QSize size);
// The trend page of each asset on a sheet of its own. False when the printer cannot be started.
bool PrintTrendPages(QPagedPaintDevice& printer, const std::vector<const history::Asset*>& assets,
                     const history::Limits& limits);
