// The Recall Test dialog: the test files of the current folder with the texts
// that identify them, a preview of the last selected test, a folder chooser,
// and on OK up to four chosen tests marked in the catalogue.
#pragma once

#include <string>

#include "display/report_drawing.h"
#include "qt/dialog.h"
#include "testfile/kel_file.h"

class KelContext;
class QItemSelection;
#include <QRect>
#include <QSize>

#include <utility>
#include <vector>

class QLabel;
class QTreeWidget;

class COpenTestDlg : public platform::Dialog {
public:
    static constexpr int kMaxOverlaid = 4;

    explicit COpenTestDlg(KelContext& context, QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;
    // Lists the catalogue of the shown folder afresh; every flag cleared.
    void FillList();
    // Reads the test of `row`, with samples, for the previews.
    void LoadPreview(int row);
    void OnShotPath();

    CKELFile previewRecord;
    int previewLoaded = 0;
    CDisplayTest plotter;
    std::string selectedName;
    std::string caption = "Recall Test";
    // How many rows may be chosen: four for the overlay and Export To Excel, any for Export Readings.
    int maxChosen = kMaxOverlaid;
    std::string shotPath;
    QTreeWidget* fileList = nullptr;
    // "Showing the first 500 of N test files" when the folder holds more than the catalogue.
    QLabel* moreFilesNote = nullptr;

protected:
    void DoDataExchange(platform::DataExchange& dx) override;
    void OnCommand(int id) override;
    void OnDrawItem(int id, QPainter& painter, const QRect& rect) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnSelectionChanged(const QItemSelection& selected);

    KelContext& context_;
    QSize templateSize_;
    int listBottom_ = 0;
    std::vector<std::pair<QWidget*, QRect>> templateGeometry_;
};
