#include "ui/recall_dialog.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/kel_context.h"
#include "platform/message_box.h"
#include "platform/qt/qt_drawing_surface.h"
#include "platform/qt/qt_text.h"
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
    UpdateData(false);
    // The keys reach the list at once: Down selects the first test.
    fileList->installEventFilter(this);
    fileList->setFocus();
    return false;
}

bool COpenTestDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The list makes its first row current when it takes the focus, unselected;
    // the first Down then selects that row instead of moving past it.
    if (watched == fileList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down && !fileList->selectionModel()->hasSelection() &&
        fileList->topLevelItemCount() > 0) {
        const QModelIndex current = fileList->currentIndex().isValid() ? fileList->currentIndex()
                                                                        : fileList->model()->index(0, 0);
        fileList->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
        return true;
    }
    return Dialog::eventFilter(watched, event);
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
