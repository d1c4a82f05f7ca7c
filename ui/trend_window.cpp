#include "ui/trend_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QStandardPaths>
#include <QTimer>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/kel_context.h"
#include "archive/archive.h"
#include "platform/atomic_file.h"
#include "platform/pg.h"
#include "testfile/latin1.h"
#include "display/trend_drawing.h"
#include "qt/qt_drawing_surface.h"
#include "qt/qt_text.h"
#include "qt/page_render.h"

// The trend page of the chosen asset, drawn into the widget.
class TrendPlot : public QWidget {
public:
    using QWidget::QWidget;
    void Show(const history::Asset* asset, const history::Limits* limits)
    {
        asset_ = asset;
        limits_ = limits;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!asset_) return;
        platform::QtDrawingSurface surface(painter, size());
        DrawTrendPage(surface, *asset_, *limits_, {0, 0, width() - 1, height() - 1});
    }

private:
    const history::Asset* asset_ = nullptr;
    const history::Limits* limits_ = nullptr;
};

namespace {

QString Text(const std::string& latin1)
{
    return platform::FromFileText(latin1);
}

QString Ohms(const std::optional<double>& value)
{
    return value ? QString::fromStdString(OhmsText(*value)) : QStringLiteral("-");
}

QString Ratio(const std::optional<double>& value)
{
    return value ? QString::number(*value, 'f', 2) : QStringLiteral("-");
}

}  // namespace

CTrendWindow::CTrendWindow(KelContext& context, QPrinter* printer, const std::string& folder, QWidget* parent)
    : QDialog(parent), context_(context), printer_(printer)
{
    setWindowTitle(QStringLiteral("Asset Trend"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    // The source: the test files of a folder, or the team's archive (Setup's connection).
    source_ = new QComboBox;
    source_->addItems({QStringLiteral("This folder"), QStringLiteral("The archive")});
    top->addWidget(source_);
    folderLabel_ = new QLabel;
    folderLabel_->setFrameShape(QFrame::StyledPanel);
    top->addWidget(folderLabel_, 1);
    auto* choose = new QPushButton(QStringLiteral("Choose Folder..."));
    top->addWidget(choose);
    follow_ = new QCheckBox(QStringLiteral("Follow links to folders"));
    top->addWidget(follow_);
    layout->addLayout(top);

    auto* split = new QSplitter(Qt::Horizontal);
    assets_ = new QTreeWidget;
    assets_->setHeaderLabels({QStringLiteral("!"), QStringLiteral("Company"), QStringLiteral("Location"),
                              QStringLiteral("Description"), QStringLiteral("Tests"), QStringLiteral("Next test due")});
    assets_->setRootIsDecorated(false);
    assets_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    split->addWidget(assets_);
    auto* right = new QSplitter(Qt::Vertical);
    plot_ = new TrendPlot;
    plot_->setMinimumSize(480, 330);
    right->addWidget(plot_);
    tests_ = new QTreeWidget;
    tests_->setHeaderLabels({QStringLiteral("Date/Time"), QStringLiteral("Test"), QStringLiteral("Type"),
                             QStringLiteral("Volts"), QStringLiteral("R 1 min"), QStringLiteral("R 1 min @40C"),
                             QStringLiteral("PI"), QStringLiteral("DD"), QStringLiteral("DAR"),
                             QStringLiteral("Flags"), QStringLiteral("File")});
    tests_->setRootIsDecorated(false);
    tests_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    right->addWidget(tests_);
    right->setStretchFactor(0, 3);
    right->setStretchFactor(1, 1);
    split->addWidget(right);
    split->setStretchFactor(1, 1);
    split->setSizes({440, 760});
    layout->addWidget(split, 1);
    note_ = new QLabel;
    note_->setWordWrap(true);
    note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(note_);

    auto* buttons = new QHBoxLayout;
    auto* print = new QPushButton(QStringLiteral("Print..."));
    auto* preview = new QPushButton(QStringLiteral("Print Preview..."));
    auto* close = new QPushButton(QStringLiteral("Close"));
    buttons->addWidget(print);
    buttons->addWidget(preview);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    QObject::connect(choose, &QPushButton::clicked, this, [this] { ChooseFolder(); });
    QObject::connect(source_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index == 1) ReadArchive();
        else Scan(folder_);
    });
    listen_ = new QTimer(this);
    QObject::connect(listen_, &QTimer::timeout, this, [this] { Listen(); });
    QObject::connect(follow_, &QCheckBox::toggled, this, [this] { Scan(folder_); });
    QObject::connect(print, &QPushButton::clicked, this, [this] { Print(); });
    QObject::connect(preview, &QPushButton::clicked, this, [this] { PrintPreview(); });
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::close);
    QObject::connect(assets_, &QTreeWidget::currentItemChanged, this,
                     [this] { ShowAsset(assets_->indexOfTopLevelItem(assets_->currentItem())); });
    QObject::connect(tests_, &QTreeWidget::itemDoubleClicked, this,
                     [this](QTreeWidgetItem* item) { OpenTest(tests_->indexOfTopLevelItem(item)); });
    resize(1200, 760);
    Scan(folder);
}

QWidget* CTrendWindow::plot() const
{
    return plot_;
}

CTrendWindow::~CTrendWindow() = default;

std::string ArchivedCopies()
{
    return platform::ToName(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                            QStringLiteral("/archived"));
}

bool CTrendWindow::Scan(const std::string& folder)
{
    folder_ = folder;
    archive_.reset();
    listen_->stop();
    due_.clear();
    if (source_->currentIndex() != 0) {
        const QSignalBlocker quiet(source_);
        source_->setCurrentIndex(0);
    }
    folderLabel_->setText(platform::FromName(folder));
    // The bar appears only when the scan lasts longer than half a second.
    QProgressDialog progress(QStringLiteral("Reading test files..."), QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setValue(0);
    scan_ = history::ScanPaths(
        {folder}, limits_,
        [&progress](std::size_t read) {
            progress.setLabelText(QStringLiteral("Reading test files... %1").arg(read));
            progress.setValue(0);
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        },
        follow_->isChecked());
    progress.reset();
    // Whatever was left out is named: the first few here, all of them in the tip.
    note_->setText(Note());
    QString all;
    for (const Status& problem : scan_.unreadable) all += platform::FromName(MessageFor(problem).text) + '\n';
    note_->setToolTip(all.trimmed());

    ListAssets();
    return !scan_.cancelled;
}

void CTrendWindow::ListAssets()
{
    const int chosen = std::max(0, assets_->indexOfTopLevelItem(assets_->currentItem()));
    assets_->clear();
    for (std::size_t i = 0; i < scan_.assets.size(); ++i) {
        const history::Asset& asset = scan_.assets[i];
        auto* row = new QTreeWidgetItem(QStringList{asset.Flagged() ? QStringLiteral("!") : QString(),
                                                    Text(asset.company), Text(asset.location),
                                                    Text(asset.description), QString::number(asset.tests.size())});
        if (asset.Flagged()) row->setForeground(0, QBrush(Qt::red));
        if (i < due_.size()) {
            row->setText(5, due_[i].date);
            if (due_[i].overdue) row->setForeground(5, QBrush(Qt::red));
        }
        assets_->addTopLevelItem(row);
    }
    if (assets_->topLevelItemCount() > 0)
        assets_->setCurrentItem(assets_->topLevelItem(std::min(chosen, assets_->topLevelItemCount() - 1)));
    else ShowAsset(-1);
}

bool CTrendWindow::ReadArchive()
{
    const std::string connection = context_.appInfo.archive.connection;
    folderLabel_->setText(QStringLiteral("Archive: ") + QString::fromStdString(connection));
    if (source_->currentIndex() != 1) {
        const QSignalBlocker quiet(source_);
        source_->setCurrentIndex(1);
    }
    const auto fail = [this](const QString& why) {
        archive_.reset();
        listen_->stop();
        scan_ = {};
        due_.clear();
        note_->setText(why);
        ListAssets();
        return false;
    };
    if (connection.empty()) return fail(QStringLiteral("No archive: Application Setup names it."));
    if (!archive_) {
        std::string error;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        archive_ = platform::PgConnection::Open(connection, error);
        QApplication::restoreOverrideCursor();
        if (!archive_) return fail(QStringLiteral("Cannot connect to the archive: ") + QString::fromStdString(error));
        // New tests are announced with their ids; the window reads again under its own role.
        archive_->Exec("LISTEN kel_tests");
    }
    history::Scan read;
    std::vector<archive::DueAsset> due;
    if (Status status = archive::ReadTrend(*archive_, "", read.assets); !status)
        return fail(QString::fromStdString(MessageFor(status).text));
    if (Status status = archive::Due(*archive_, 365000, due); !status)
        return fail(QString::fromStdString(MessageFor(status).text));
    for (const history::Asset& asset : read.assets) read.testsRead += asset.tests.size();
    scan_ = std::move(read);
    // Each asset's next test, matched by the texts as the trend groups them.
    const auto key = [](const std::string& company, const std::string& location, const std::string& description) {
        return history::FoldedText(company) + '\x01' + history::FoldedText(location) + '\x01' +
               history::FoldedText(description);
    };
    due_.assign(scan_.assets.size(), {});
    for (const archive::DueAsset& asset : due) {
        const std::string wanted =
            key(Utf8ToLatin1(asset.company), Utf8ToLatin1(asset.location), Utf8ToLatin1(asset.description));
        for (std::size_t i = 0; i < scan_.assets.size(); ++i)
            if (key(scan_.assets[i].company, scan_.assets[i].location, scan_.assets[i].description) == wanted)
                due_[i] = {QString::fromStdString(asset.due), asset.overdue};
    }
    note_->setText(scan_.assets.empty() ? QStringLiteral("The archive holds no test this role may read.") : QString());
    note_->setToolTip({});
    ListAssets();
    listen_->start(1000);
    return true;
}

void CTrendWindow::Listen()
{
    if (!archive_) return;
    bool heard = false;
    while (archive_->NextNotification(0)) heard = true;
    if (heard) ReadArchive();
}

QString CTrendWindow::Note() const
{
    if (scan_.unreadable.empty()) {
        if (archive_) return {};
        if (scan_.testsRead == 0 && !scan_.cancelled)
            return QStringLiteral("No test files in this folder or its subfolders.");
        return {};
    }
    std::size_t folders = 0;
    for (const Status& problem : scan_.unreadable) folders += problem.problem == Problem::CantReadFolder ? 1 : 0;
    const std::size_t files = scan_.unreadable.size() - folders;
    QStringList parts;
    if (files > 0) parts << QStringLiteral("%1 %2").arg(files).arg(files == 1 ? "file" : "files");
    if (folders > 0) parts << QStringLiteral("%1 %2").arg(folders).arg(folders == 1 ? "folder" : "folders");
    QStringList names;
    for (std::size_t i = 0; i < scan_.unreadable.size() && i < 3; ++i)
        names << platform::FromName(scan_.unreadable[i].subject);
    if (scan_.unreadable.size() > 3) names << QStringLiteral("...");
    return QStringLiteral("Left out: %1 (%2)").arg(parts.join(QStringLiteral(" and ")), names.join(QStringLiteral(", ")));
}

void CTrendWindow::ChooseFolder()
{
    const QString chosen = QFileDialog::getExistingDirectory(this, QStringLiteral("Asset Trend folder"),
                                                             platform::FromName(folder_), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty()) Scan(platform::ToName(chosen));
}

const history::Asset* CTrendWindow::Chosen() const
{
    const int index = assets_->indexOfTopLevelItem(assets_->currentItem());
    if (index < 0 || index >= static_cast<int>(scan_.assets.size())) return nullptr;
    return &scan_.assets[static_cast<std::size_t>(index)];
}

void CTrendWindow::ShowAsset(int)
{
    const history::Asset* asset = Chosen();
    plot_->Show(asset, &limits_);
    tests_->clear();
    if (!asset) return;
    for (const history::TestPoint& test : asset->tests) {
        QString flags;
        for (const std::string& flag : test.flags) flags += (flags.isEmpty() ? "" : " ") + QString::fromStdString(flag);
        QString dateTime = QString::fromStdString(test.dateTime).replace(QLatin1Char('T'), QLatin1Char(' '));
        auto* row = new QTreeWidgetItem(QStringList{
            dateTime, QString::number(test.testNumber), QString::fromLatin1(test.testTypeName),
            QString::number(test.testVoltage), Ohms(test.resistance1Min), Ohms(test.resistance1Min40C),
            Ratio(test.piRatio), Ratio(test.ddRatio), Ratio(test.darRatio), flags, platform::FromName(test.path)});
        // The same test in other files counts once; they are named beside it.
        if (!test.copies.empty()) {
            QString copies;
            for (const std::string& copy : test.copies) copies += QLatin1Char('\n') + platform::FromName(copy);
            row->setText(10, row->text(10) + QStringLiteral(" (+%1 the same)").arg(test.copies.size()));
            row->setToolTip(10, QStringLiteral("The same test is also in:") + copies);
        }
        tests_->addTopLevelItem(row);
    }
}

void CTrendWindow::OpenTest(int row)
{
    const history::Asset* asset = Chosen();
    if (!asset || row < 0 || row >= static_cast<int>(asset->tests.size())) return;
    // As Recall Test does for one test: the file alone in the main window. From the archive, the
    // file it was pushed from, when it is on this machine.
    const history::TestPoint& test = asset->tests[static_cast<std::size_t>(row)];
    if (!archive_) {
        context_.kelApp.OpenDocumentFile(test.path, 0);
        return;
    }
    // From the archive: its stored bytes, as a copy of this machine's own (ArchivedCopies()); Save
    // Test on the copy adds the corrected texts to the archive as a new row.
    std::vector<unsigned char> bytes;
    if (Status read = archive::ReadStoredTest(*archive_, test.archiveId, bytes); !read) {
        note_->setText(QString::fromStdString(MessageFor(read).text));
        return;
    }
    const std::filesystem::path copy = std::filesystem::path(ArchivedCopies()) / std::to_string(test.archiveId) /
                                       std::filesystem::path(test.path).filename();
    std::error_code error;
    std::filesystem::create_directories(copy.parent_path(), error);
    if (error || !platform::WriteWholeFile(copy, bytes.data(), bytes.size())) {
        note_->setText(QStringLiteral("Can't write file ") + platform::FromName(copy.string()));
        return;
    }
    context_.kelApp.OpenDocumentFile(copy.string(), 0);
}

void CTrendWindow::Print()
{
    const history::Asset* asset = Chosen();
    if (!asset || !printer_) return;
    QPrintDialog dialog(printer_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    PrintTrendPages(*printer_, {asset}, limits_);
}

void CTrendWindow::PrintPreview()
{
    const history::Asset* asset = Chosen();
    if (!asset || !printer_) return;
    QPrintPreviewDialog preview(printer_, this);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                     [this, asset](QPrinter* printer) { PrintTrendPages(*printer, {asset}, limits_); });
    preview.exec();
}
