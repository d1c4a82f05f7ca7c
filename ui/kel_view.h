// The view: shows the report page of the document's tests, zooms into a plot
// on a click and back, prints and previews the page, and closes the test.
#pragma once

#include <QWidget>

#include <functional>

#include "app/command_router.h"
#include "display/report_drawing.h"

class CKelDoc;
class QPrinter;

class CKelView : public QWidget, public CCmdTarget {
public:
    // `printer` is the application's printer with its default settings.
    CKelView(CKelDoc* document, QPrinter* printer, QWidget* parent = nullptr);

    bool OnCommand(int id) override;
    bool HasCommand(int id) const override;
    bool OnUpdateCommand(CCmdUI& ui) override;

    // Draws the page for the surface into `rect` when a test is shown.
    void DrawTests(platform::DrawingSurface& surface, const platform::Rect& rect);
    // One sheet on `printer`: the page, or the zoomed plot when zoomed; blank with no test.
    void OnPrint(QPrinter& printer);
    void OnCloseTest();
    // What the view says while no test is shown.
    static QString EmptyText();
    // Names the printer's job, and the file of a print to PDF, after the shown test.
    void ProposeFileName(QPrinter& printer) const;
    void OnLButtonUp(int x, int y);

    int printing = 0;
    int zoomed = 0;
    int zoomResistance = 1;
    CDisplayTest display;

    // Called once, after the first page was painted on the screen.
    std::function<void()> afterFirstPage;
    // Asked before Close Test drops the test: false keeps it (unsaved edits the user kept).
    std::function<bool()> mayDropTest;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CKelDoc* document_;
    QPrinter* printer_;
};
