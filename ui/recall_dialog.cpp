#include "ui/recall_dialog.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QResizeEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/kel_context.h"
#include "services/message_box.h"
#include "qt/qt_drawing_surface.h"
#include "qt/qt_text.h"
#include "ui/folders.h"

namespace {


constexpr platform::ListColumn kColumns[7] = {
    {"File Name", true, "File Name 0000000001"},   {"Date", false, "04/44/99 123"},
    {"Type", false, "DDDDD"},                      {"Description", false, "Description XXXXXXXXXX"},
    {"Company", false, "Company XXXXXXXXXX"},       {"Location", false, "Location XXXXXXXXXX"},
    {"Operator", false, "Operator XXXXXXXX"},
};

QString Latin1(const std::string& text)
{
    return QString::fromLatin1(text.c_str());
}

}  // namespace

COpenTestDlg::COpenTestDlg(KelContext& context, QWidget* parent)
    : Dialog(resources::IDD_RECALL_TEST, parent), context_(context)
{
}

void COpenTestDlg::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_Control(dx, resources::IDC_FILE_LIST, fileList);
    platform::DDX_Name(dx, resources::IDC_FOLDER, shotPath);
}

bool COpenTestDlg::OnInitDialog()
{
    Dialog::OnInitDialog();
    platform::GetCurrentFolder(shotPath);

    // Each column is as wide as its sample text in the list's font.
    platform::SetUpReportList(fileList, kColumns, 7);
    moreFilesNote = new QLabel(this);
    moreFilesNote->setGeometry(MapDialogRect(8, 237, 290, 10));
    QObject::connect(fileList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this](const QItemSelection& selected, const QItemSelection&) { OnSelectionChanged(selected); });
    QObject::connect(fileList, &QTreeWidget::itemDoubleClicked, this, [this] { OnOK(); });

    FillList();
    setWindowTitle(Latin1(caption));
    // The dialog can grow: it remembers where the template put each control.
    templateSize_ = size();
    listBottom_ = fileList->geometry().bottom();
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        templateGeometry_.emplace_back(child, child->geometry());
    setMinimumSize(templateSize_);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    UpdateData(false);
    // The keys reach the list at once: Down selects the first test.
    fileList->installEventFilter(this);
    fileList->setFocus();
    return false;
}

bool COpenTestDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The keys that move through the list select as they move, also from a
    // current row that is not selected (the list makes its first row current
    // when it takes the focus, and a click on its empty part clears the
    // selection): Down and Home then select that row instead of doing nothing.
    if (watched == fileList && event->type() == QEvent::KeyPress && fileList->topLevelItemCount() > 0) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool moves = key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Home || key == Qt::Key_End ||
                           key == Qt::Key_PageUp || key == Qt::Key_PageDown;
        if (moves && !fileList->selectionModel()->hasSelection()) {
            const QModelIndex current = fileList->currentIndex().isValid() ? fileList->currentIndex()
                                                                            : fileList->model()->index(0, 0);
            const int last = fileList->topLevelItemCount() - 1;
            int row = current.row();
            if (key == Qt::Key_Home) row = 0;
            if (key == Qt::Key_End) row = last;
            if (key != Qt::Key_Down && key != Qt::Key_Up && key != Qt::Key_Home && key != Qt::Key_End) {
                static_cast<QObject*>(fileList)->event(event);  // the page keys move by the view's own page
                row = fileList->currentIndex().isValid() ? fileList->currentIndex().row() : row;
            }
            fileList->selectionModel()->setCurrentIndex(fileList->model()->index(row, 0),
                                                        QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
            return true;
        }
    }
    return Dialog::eventFilter(watched, event);
}

void COpenTestDlg::resizeEvent(QResizeEvent* event)
{
    Dialog::resizeEvent(event);
    // The list grows with the dialog; the previews and the buttons below keep their size and follow its bottom.
    if (templateSize_.isEmpty() || !fileList) return;
    const int dw = std::max(0, width() - templateSize_.width());
    const int dh = std::max(0, height() - templateSize_.height());
    QWidget* folder = GetDlgItem(resources::IDC_FOLDER);
    QWidget* shotPathButton = GetDlgItem(resources::IDC_SHOT_PATH);
    for (auto& [widget, geometry] : templateGeometry_) {
        if (widget == fileList || widget == fileList->parentWidget()) {
            if (widget == fileList) widget->setGeometry(geometry.adjusted(0, 0, dw, dh));
        } else if (widget == folder) {
            widget->setGeometry(geometry.adjusted(0, 0, dw, 0));
        } else if (widget == shotPathButton) {
            widget->setGeometry(geometry.translated(dw, 0));
        } else if (geometry.top() >= listBottom_) {
            widget->setGeometry(geometry.translated(0, dh));
        }
    }
}

void COpenTestDlg::FillList()
{
    CKELTestList& testCatalogue = context_.testCatalogue;
    for (const Status& problem : testCatalogue.Refresh(shotPath)) Report(context_.services.Messages(), problem);
    fileList->clear();
    for (int i = 0; i < testCatalogue.fileCount; ++i) {
        auto* row = new QTreeWidgetItem(QStringList{
            platform::FromName(testCatalogue.fileNames[i]), Latin1(testCatalogue.dateTexts[i]),
            Latin1(testCatalogue.typeCodes[i]), Latin1(testCatalogue.descriptions[i]),
            Latin1(testCatalogue.companies[i]), Latin1(testCatalogue.locations[i]),
            Latin1(testCatalogue.operators[i])});
        row->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
        fileList->addTopLevelItem(row);
        testCatalogue.selected[i] = 0;
    }
    // The File Name column is as wide as its longest name, at least as its sample.
    const int sampleWidth = fileList->header()->sectionSize(0);
    fileList->resizeColumnToContents(0);
    if (fileList->header()->sectionSize(0) < sampleWidth) fileList->header()->resizeSection(0, sampleWidth);
    // The catalogue holds the first 500: the user is told when the folder has more.
    const bool more = testCatalogue.totalFound > static_cast<std::size_t>(testCatalogue.fileCount);
    moreFilesNote->setText(more ? QStringLiteral("Showing the first %1 of %2 test files")
                                      .arg(testCatalogue.fileCount)
                                      .arg(testCatalogue.totalFound)
                                : QString());
}

void COpenTestDlg::OnSelectionChanged(const QItemSelection& selected)
{
    // Every row that became selected is previewed in turn; the last one stays.
    QList<int> rows;
    for (const QModelIndex& index : selected.indexes())
        if (!rows.contains(index.row())) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    for (const int row : rows) LoadPreview(row);
    if (!rows.isEmpty()) return;
    // The selection shrank: the preview shows the current row when it is still chosen, else the last chosen row.
    const QModelIndexList chosen = fileList->selectionModel()->selectedRows();
    const QModelIndex current = fileList->currentIndex();
    if (current.isValid() && fileList->selectionModel()->isRowSelected(current.row(), QModelIndex())) {
        LoadPreview(current.row());
    } else if (!chosen.isEmpty()) {
        int lastRow = 0;
        for (const QModelIndex& index : chosen) lastRow = std::max(lastRow, index.row());
        LoadPreview(lastRow);
    } else {
        LoadPreview(-1);
    }
    update();
}

void COpenTestDlg::LoadPreview(int row)
{
    previewLoaded = 0;
    const CKELTestList& testCatalogue = context_.testCatalogue;
    if (row >= 0 && row < testCatalogue.fileCount) {
        const Status loaded = previewRecord.Load(testCatalogue.PathOf(row), 1);
        Report(context_.services.Messages(), loaded);
        if (loaded) {
            previewLoaded = 1;
            UpdateData(false);
        }
    }
    // A row that holds no test clears the previews instead of leaving the last test's curves.
    for (const int id : {resources::IDC_RESISTANCE_PREVIEW, resources::IDC_CURRENT_PREVIEW})
        if (QWidget* button = GetDlgItem(id)) button->update();
}

void COpenTestDlg::OnDrawItem(int id, QPainter& painter, const QRect& rect)
{
    if (!previewLoaded) return;
    platform::QtDrawingSurface surface(painter, rect.size());
    plotter.Prepare(&surface, &previewRecord, 1, 0);
    plotter.DrawPlot({rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1}, id == resources::IDC_CURRENT_PREVIEW ? 1 : 0);
}

void COpenTestDlg::OnOK()
{
    QList<int> rows;
    for (const QModelIndex& index : fileList->selectionModel()->selectedRows()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    if (rows.isEmpty()) {
        AppMessageBox(context_.services.Messages(), "Please select a test first");
        return;
    }
    if (rows.size() > maxChosen) {
        char text[kMessageBufferSize];
        std::snprintf(text, sizeof text, "You can overlay a maximum of %d tests", kMaxOverlaid);
        AppMessageBox(context_.services.Messages(), text);
        return;
    }
    CKELTestList& testCatalogue = context_.testCatalogue;
    for (const int row : rows) testCatalogue.selected[row] = 1;
    Dialog::OnOK();
    selectedName = testCatalogue.fileNames[rows.first()];
}

void COpenTestDlg::OnCommand(int id)
{
    if (id == resources::IDC_SHOT_PATH) OnShotPath();
}

void COpenTestDlg::OnShotPath()
{
    std::string folder;
    if (!context_.services.BrowseForFolder("Select Path", shotPath, folder)) return;
    shotPath = folder;
    std::error_code ignored;
    std::filesystem::current_path(folder, ignored);
    FillList();
    UpdateData(false);
}
