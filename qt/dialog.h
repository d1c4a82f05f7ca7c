// A modal dialog built from a template: its controls are made with their ids,
// texts and places in dialog units, and values move between controls and the
// dialog's fields through DoDataExchange, as UpdateData asks.
#pragma once

#include <QDialog>
#include <QMap>

#include <string>
#include <utility>
#include <vector>

#include "resources/dialog_templates.h"

class QButtonGroup;
class QPainter;
class QTreeWidget;

namespace platform {

class Dialog;

// One pass of data exchange: to the controls (`saveAndValidate` false) or
// from them into the fields (true).
struct DataExchange {
    Dialog* dialog;
    bool saveAndValidate;
    bool failed = false;
};

class Dialog : public QDialog {
public:
    Dialog(int templateId, QWidget* parent = nullptr);

    // Runs the dialog modally: IDOK or IDCANCEL as it ended.
    int DoModal();
    // Moves data to the controls (false) or into the fields (true); false when it failed.
    bool UpdateData(bool saveAndValidate = true);
    QWidget* GetDlgItem(int id) const { return controls_.value(id); }
    // The pixel rectangle of a rectangle in dialog units.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    // Makes the dialog's units wide enough that `control` is at least `pixels`
    // wide, and lays every control out again; the dialog grows in proportion,
    // up to the screen's width. Used where a font is wider than the one the
    // template was made for.
    void WidenToFit(QWidget* control, int pixels);
    void EndDialog(int result);

protected:
    // Fills the controls from the fields; true lets the focus go where it goes.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(DataExchange& dx);
    // OK: fields from the controls, then the dialog ends with IDOK.
    virtual void OnOK();
    // Cancel, Esc and the close box: ends with IDCANCEL, the fields untouched.
    virtual void OnCancel();
    // A push button other than OK and Cancel.
    virtual void OnCommand(int id);
    // Paints an owner-drawn button: `painter` on the button, `rect` its whole area.
    virtual void OnDrawItem(int id, QPainter& painter, const QRect& rect);

    void reject() override { OnCancel(); }
    void accept() override { OnOK(); }

private:
    friend class OwnerDrawButton;
    void Build(const resources::DialogTemplate& dialogTemplate);

    void LayOut();

    QMap<int, QWidget*> controls_;
    std::vector<std::pair<QWidget*, resources::ControlTemplate>> placed_;
    int templateWidth_ = 0, templateHeight_ = 0;
    int baseWidth_ = 0;   // average character width of the dialog font, in pixels
    int baseHeight_ = 0;  // character height
};

// A column of a report-style list: each column is exactly as wide as its
// sample text in the list's font.
struct ListColumn {
    const char* heading;
    bool right;  // right-aligned, else left
    const char* widthSample;
};
// Gives `list` its columns and full-row selection.
void SetUpReportList(QTreeWidget* list, const ListColumn* columns, int count);

// The data exchange helpers, each for one control of the dialog.
void DDX_Text(DataExchange& dx, int id, std::string& value);  // edit boxes and statics; Latin-1 texts
void DDX_Name(DataExchange& dx, int id, std::string& value);  // the same for file names, paths and prefixes
void DDX_CBIndex(DataExchange& dx, int id, int& index);      // combo boxes: the selected row, -1 none
// The radio buttons of the group that starts at `firstId`: the checked one's index, -1 none.
void DDX_Radio(DataExchange& dx, int firstId, int& index);
template <typename Control>
void DDX_Control(DataExchange& dx, int id, Control*& control)
{
    control = qobject_cast<Control*>(dx.dialog->GetDlgItem(id));
}

}  // namespace platform
