#include "ui/kel_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <filesystem>

#include <utility>

#include "app/kel_doc.h"
#include "qt/page_render.h"
#include "display/view_zoom.h"
#include "qt/qt_drawing_surface.h"
#include "qt/qt_text.h"
#include "resources/resource_ids.h"

CKelView::CKelView(CKelDoc* document, QPrinter* printer, QWidget* parent)
    : QWidget(parent), document_(document), printer_(printer)
{
    setAutoFillBackground(true);  // the erased background of an empty view
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool CKelView::HasCommand(int id) const
{
    return id == ids::ID_CLOSE_TEST || id == ids::ID_FILE_PRINT || id == ids::ID_FILE_PRINT_DIRECT ||
           id == ids::ID_FILE_PRINT_PREVIEW;
}

bool CKelView::OnCommand(int id)
{
    switch (id) {
    case ids::ID_CLOSE_TEST:
        OnCloseTest();
        return true;
    case ids::ID_FILE_PRINT: {
        ProposeFileName(*printer_);
        QPrintDialog dialog(printer_, window());
        if (dialog.exec() == QDialog::Accepted) OnPrint(*printer_);
        return true;
    }
    case ids::ID_FILE_PRINT_DIRECT:
        OnPrint(*printer_);
        return true;
    case ids::ID_FILE_PRINT_PREVIEW: {
        QPrintPreviewDialog preview(printer_, window());
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [this](QPrinter* target) { OnPrint(*target); });
        preview.exec();
        return true;
    }
    default:
        return false;
    }
}

bool CKelView::OnUpdateCommand(CCmdUI& ui)
{
    // Nothing to close or print while no test is shown.
    if (ui.id != ids::ID_CLOSE_TEST && ui.id != ids::ID_FILE_PRINT && ui.id != ids::ID_FILE_PRINT_DIRECT &&
        ui.id != ids::ID_FILE_PRINT_PREVIEW)
        return false;
    ui.Enable(document_->testOpen != 0);
    return true;
}

void CKelView::ProposeFileName(QPrinter& printer) const
{
    // Printing to a file proposes the shown test's name in its folder (Test6.pdf), not print.pdf at home.
    if (!document_->testOpen || document_->records[0].path.empty()) return;
    const std::filesystem::path test(document_->records[0].path);
    printer.setDocName(platform::FromName(test.stem().string()));
    // Where no printer is set up the dialog can only print to a file: it starts with this one.
    if (QPrinterInfo::availablePrinterNames().isEmpty() || printer.outputFormat() == QPrinter::PdfFormat) {
        std::filesystem::path pdf = test;
        pdf.replace_extension(".pdf");
        printer.setOutputFileName(platform::FromName(pdf.string()));
    }
}

QString CKelView::EmptyText()
{
    return QStringLiteral("No test is shown.\n\nRecall Test (Ctrl+O) opens a test file of the test folder;\n"
                          "Retrieve Test Record (Ctrl+D) downloads tests from the KEL-7300.");
}

void CKelView::DrawTests(platform::DrawingSurface& surface, const platform::Rect& rect)
{
    if (!document_->testOpen) return;
    display.Prepare(&surface, document_->records, document_->recordCount, printing);
    display.DrawPage(rect, zoomed, zoomResistance);
}

void CKelView::paintEvent(QPaintEvent*)
{
    if (!document_->testOpen) {
        // The empty view says how to show a test.
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter, EmptyText());
        return;
    }
    printing = 0;
    QPainter painter(this);
    platform::QtDrawingSurface surface(painter, size());
    DrawTests(surface, {0, 0, width(), height()});
    if (afterFirstPage) std::exchange(afterFirstPage, nullptr)();
}

void CKelView::OnPrint(QPrinter& printer)
{
    printing = 1;
    PrintPage(printer, document_->records, document_->testOpen ? document_->recordCount : 0, zoomed,
              zoomResistance);
}

void CKelView::OnCloseTest()
{
    if (mayDropTest && !mayDropTest()) return;
    document_->testOpen = 0;
    document_->SetModifiedFlag(false);
    update();
}

void CKelView::OnLButtonUp(int x, int y)
{
    if (ToggleZoom(x, y, width(), height(), zoomed, zoomResistance)) update();
}

void CKelView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) OnLButtonUp(event->position().toPoint().x(), event->position().toPoint().y());
    QWidget::mouseReleaseEvent(event);
}
