// The Asset Trend window: the assets of a folder and its subfolders with a mark
// at those with a flag, the trend page of the chosen asset, and its tests. A
// double click on a test shows it in the main window; Print and Print Preview
// print the trend page. A scan that takes longer than half a second shows its
// progress and can be cancelled.
#pragma once

#include <QDialog>

#include <memory>
#include <string>
#include <vector>

#include "history/asset_history.h"

namespace platform {
class PgConnection;
}
class QComboBox;
class QTimer;

class KelContext;
class QCheckBox;
class QLabel;
class QPrinter;
class QTreeWidget;
class TrendPlot;

// Where tests opened from the archive are copied to: a folder of this user's cache.
std::string ArchivedCopies();

class CTrendWindow : public QDialog {
public:
    CTrendWindow(KelContext& context, QPrinter* printer, const std::string& folder, QWidget* parent = nullptr);

    ~CTrendWindow() override;
    // Reads `folder` and its subfolders afresh; false when the user cancelled.
    bool Scan(const std::string& folder);
    // Reads the archive the settings name instead, under the settings' role, and
    // listens for new tests there: a test pushed from anywhere appears within
    // seconds. False (with the reason in the note) when it cannot be read.
    bool ReadArchive();
    bool FromArchive() const { return archive_ != nullptr; }
    void ChooseFolder();
    void Print();
    void PrintPreview();

    const history::Scan& scan() const { return scan_; }
    QTreeWidget* assetList() const { return assets_; }
    QTreeWidget* testList() const { return tests_; }
    QWidget* plot() const;
    const std::string& folder() const { return folder_; }
    // Whether links to folders are followed (off: a link to / is not the whole machine).
    QCheckBox* followLinks() const { return follow_; }
    // What the scan left out, or that it found no test; empty when neither.
    QString Note() const;

private:
    void ShowAsset(int index);
    void OpenTest(int row);
    const history::Asset* Chosen() const;
    // Fills the asset list from `scan_`, keeping the chosen asset where it still is.
    void ListAssets();
    // New tests announced by the archive: read it again.
    void Listen();

    KelContext& context_;
    QPrinter* printer_;
    std::string folder_;
    history::Limits limits_;
    history::Scan scan_;
    QLabel* folderLabel_;
    QCheckBox* follow_;
    QLabel* note_;
    QTreeWidget* assets_;
    QTreeWidget* tests_;
    TrendPlot* plot_;
    QComboBox* source_;
    // The archive source: the connection the window reads with, and each asset's next test.
    std::unique_ptr<platform::PgConnection> archive_;
    struct Due {
        QString date;
        bool overdue = false;
    };
    std::vector<Due> due_;  // by asset, as `scan_.assets`
    QTimer* listen_ = nullptr;
};
