// "Due Tests": the assets of the companies the archive's role may read whose
// next test is overdue (in red) or due within 30 days, soonest first.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QTreeWidget;

class CDueDialog : public QDialog {
public:
    // Reads the archive `connection` names (Setup's); says why when it cannot.
    CDueDialog(const std::string& connection, QWidget* parent = nullptr);

    QTreeWidget* list() const { return list_; }
    QString Note() const;

private:
    QTreeWidget* list_;
    QLabel* note_;
};
