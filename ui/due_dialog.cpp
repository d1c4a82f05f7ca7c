#include "ui/due_dialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "archive/archive.h"
#include "platform/pg.h"

CDueDialog::CDueDialog(const std::string& connection, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Due Tests"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QTreeWidget;
    list_->setHeaderLabels({QStringLiteral("Due"), QStringLiteral("Company"), QStringLiteral("Location"),
                            QStringLiteral("Description"), QStringLiteral("Last tested"), QStringLiteral("Flags")});
    list_->setRootIsDecorated(false);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(list_, 1);
    note_ = new QLabel;
    note_->setWordWrap(true);
    layout->addWidget(note_);
    auto* close = new QPushButton(QStringLiteral("Close"));
    layout->addWidget(close, 0, Qt::AlignRight);
    QObject::connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(820, 420);

    if (connection.empty()) {
        note_->setText(QStringLiteral("No archive: Application Setup names it."));
        return;
    }
    std::string error;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto db = platform::PgConnection::Open(connection, error);
    std::vector<archive::DueAsset> due;
    const Status read = db ? archive::Due(*db, 30, due) : Status::Of(Problem::ArchiveUnreachable);
    QApplication::restoreOverrideCursor();
    if (!db) {
        note_->setText(QStringLiteral("Cannot connect to the archive: ") + QString::fromStdString(error));
        return;
    }
    if (!read) {
        note_->setText(QString::fromStdString(MessageFor(read).text));
        return;
    }
    std::size_t overdue = 0;
    for (const archive::DueAsset& asset : due) {
        QString flags;
        for (const std::string& flag : asset.flags) flags += (flags.isEmpty() ? "" : " ") + QString::fromStdString(flag);
        auto* row = new QTreeWidgetItem(QStringList{
            QString::fromStdString(asset.due), QString::fromStdString(asset.company),
            QString::fromStdString(asset.location), QString::fromStdString(asset.description),
            QString::fromStdString(asset.lastTested).replace(QLatin1Char('T'), QLatin1Char(' ')), flags});
        if (asset.overdue) {
            ++overdue;
            for (int c = 0; c < row->columnCount(); ++c) row->setForeground(c, QBrush(Qt::red));
        }
        list_->addTopLevelItem(row);
    }
    note_->setText(due.empty() ? QStringLiteral("No asset is overdue or due within 30 days.")
                               : QStringLiteral("%1 overdue, %2 due within 30 days.")
                                     .arg(overdue)
                                     .arg(due.size() - overdue));
}

QString CDueDialog::Note() const
{
    return note_->text();
}
