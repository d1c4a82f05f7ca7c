#include "qt/dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QHeaderView>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

#include "qt/app_icon.h"
#include "qt/qt_text.h"
#include "testfile/latin1.h"

namespace platform {

using resources::ControlTemplate;

// A button that its dialog paints.
class OwnerDrawButton : public QPushButton {
public:
    OwnerDrawButton(Dialog* dialog, int id) : QPushButton(dialog), dialog_(dialog), id_(id) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        dialog_->OnDrawItem(id_, painter, rect());
    }

private:
    Dialog* dialog_;
    int id_;
};

namespace {

QString FromLatin1(const std::string& text)
{
    return QString::fromLatin1(text.c_str());
}

// The radio buttons of a group: from `firstId` to the next button that starts a group.
QList<QRadioButton*> RadioGroup(const Dialog& dialog, int firstId, const resources::DialogTemplate& dialogTemplate)
{
    QList<QRadioButton*> group;
    bool inGroup = false;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.kind != ControlTemplate::RadioButton) continue;
        if (control.id == firstId) inGroup = true;
        else if (control.flags & ControlTemplate::GroupStart) inGroup = false;
        if (inGroup) group.append(qobject_cast<QRadioButton*>(dialog.GetDlgItem(control.id)));
    }
    return group;
}

}  // namespace

Dialog::Dialog(int templateId, QWidget* parent) : QDialog(parent)
{
    setProperty("templateId", templateId);
    if (const resources::DialogTemplate* dialogTemplate = resources::FindDialogTemplate(templateId))
        Build(*dialogTemplate);
}

QRect Dialog::MapDialogRect(int x, int y, int cx, int cy) const
{
    return QRect(x * baseWidth_ / 4, y * baseHeight_ / 8, cx * baseWidth_ / 4, cy * baseHeight_ / 8);
}

void Dialog::Build(const resources::DialogTemplate& dialogTemplate)
{
    setWindowTitle(FromLatin1(dialogTemplate.caption));
    // Dialog units from the platform's dialog font, averaged over the alphabet.
    const QFontMetrics metrics(font());
    baseWidth_ = (metrics.horizontalAdvance(
                      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) + 26) / 52;
    baseHeight_ = metrics.height();
    templateWidth_ = dialogTemplate.cx;
    templateHeight_ = dialogTemplate.cy;

    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = nullptr;
        const QString text = FromLatin1(control.text);
        switch (control.kind) {
        case ControlTemplate::Static: {
            auto* label = new QLabel(control.flags & ControlTemplate::NoPrefix ? text : QString(text).remove('&'),
                                     this);
            if (control.flags & ControlTemplate::Centered) label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            if (control.flags & ControlTemplate::Sunken) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            widget = label;
            break;
        }
        case ControlTemplate::Icon: {
            // The one icon the templates name is the application's.
            auto* icon = new QLabel(this);
            icon->setScaledContents(true);
            icon->setPixmap(ApplicationIcon().pixmap(64));
            widget = icon;
            break;
        }
        case ControlTemplate::PushButton: {
            auto* button = new QPushButton(text, this);
            const bool isDefault = (control.flags & ControlTemplate::Default) != 0;
            button->setDefault(isDefault);
            button->setAutoDefault(isDefault);
            const int id = control.id;
            QObject::connect(button, &QPushButton::clicked, this, [this, id] {
                if (id == resources::IDOK) OnOK();
                else if (id == resources::IDCANCEL) OnCancel();
                else OnCommand(id);
            });
            widget = button;
            break;
        }
        case ControlTemplate::OwnerDrawButton: {
            auto* button = new OwnerDrawButton(this, control.id);
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::NoFocus);
            widget = button;
            break;
        }
        case ControlTemplate::Edit:
            widget = new QLineEdit(text, this);
            break;
        case ControlTemplate::ComboBox: {
            auto* combo = new QComboBox(this);
            for (const std::string& item : control.items) combo->addItem(FromLatin1(item));
            combo->setCurrentIndex(-1);
            widget = combo;
            break;
        }
        case ControlTemplate::ListView: {
            auto* list = new QTreeWidget(this);
            list->setRootIsDecorated(false);
            list->setSelectionMode(control.flags & ControlTemplate::MultiSelect ? QAbstractItemView::ExtendedSelection
                                                                                 : QAbstractItemView::SingleSelection);
            widget = list;
            break;
        }
        case ControlTemplate::GroupBox:
            widget = new QGroupBox(text, this);
            widget->lower();  // a frame behind the controls it surrounds
            break;
        case ControlTemplate::RadioButton:
        {
            auto* radio = new QRadioButton(text, this);
            radio->setAutoExclusive(false);  // groups come from the template, below
            widget = radio;
            break;
        }
        }
        placed_.emplace_back(widget, control);
        if (control.id != resources::IDC_STATIC) controls_.insert(control.id, widget);
    }
    LayOut();
    // One exclusive group per run of radio buttons that starts a group.
    for (const ControlTemplate& control : dialogTemplate.controls) {
        if (control.kind != ControlTemplate::RadioButton || !(control.flags & ControlTemplate::GroupStart)) continue;
        auto* group = new QButtonGroup(this);
        for (QRadioButton* button : RadioGroup(*this, control.id, dialogTemplate))
            if (button) group->addButton(button);
    }
}

void Dialog::LayOut()
{
    setFixedSize(MapDialogRect(0, 0, templateWidth_, templateHeight_).size());
    for (const auto& [widget, control] : placed_) {
        QRect rect = MapDialogRect(control.x, control.y, control.cx, control.cy);
        // A drop-down list's height in the template is that of its open list.
        if (control.kind == ControlTemplate::ComboBox) rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
    }
}

void Dialog::WidenToFit(QWidget* control, int pixels)
{
    if (!control || pixels <= control->width()) return;
    for (const auto& [widget, placed] : placed_) {
        if (widget != control || placed.cx <= 0) continue;
        int base = (pixels * 4 + placed.cx - 1) / placed.cx;
        // No wider than the screen's free area.
        if (const QScreen* screen = this->screen())
            base = std::min(base, screen->availableGeometry().width() * 4 / std::max(templateWidth_, 1));
        if (base <= baseWidth_) return;
        baseWidth_ = base;
        LayOut();
        return;
    }
}

int Dialog::DoModal()
{
    OnInitDialog();
    return exec();
}

bool Dialog::OnInitDialog()
{
    UpdateData(false);
    return true;
}

bool Dialog::UpdateData(bool saveAndValidate)
{
    DataExchange dx{this, saveAndValidate};
    DoDataExchange(dx);
    return !dx.failed;
}

void Dialog::DoDataExchange(DataExchange&) {}

void Dialog::OnOK()
{
    if (!UpdateData(true)) return;
    EndDialog(resources::IDOK);
}

void Dialog::OnCancel()
{
    EndDialog(resources::IDCANCEL);
}

void Dialog::OnCommand(int) {}

void Dialog::OnDrawItem(int, QPainter&, const QRect&) {}

void Dialog::EndDialog(int result)
{
    done(result);
}

void SetUpReportList(QTreeWidget* list, const ListColumn* columns, int count)
{
    list->setColumnCount(count);
    QStringList headings;
    for (int c = 0; c < count; ++c) headings << QString::fromLatin1(columns[c].heading);
    list->setHeaderLabels(headings);
    const QFontMetrics metrics(list->font());
    int total = 0;
    for (int c = 0; c < count; ++c) {
        list->setColumnWidth(c, metrics.horizontalAdvance(QString::fromLatin1(columns[c].widthSample)));
        list->headerItem()->setTextAlignment(c, columns[c].right ? Qt::AlignRight : Qt::AlignLeft);
        total += list->columnWidth(c);
    }
    // Every column readable at the opening size: where this font is wider than the
    // template's, the dialog grows rather than hide columns behind a scroll bar.
    const int chrome = 2 * list->frameWidth() + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    if (auto* dialog = dynamic_cast<Dialog*>(list->window())) dialog->WidenToFit(list, total + chrome);
    // A screen too narrow for that: the columns share the width there is, each
    // keeping at least its heading.
    const int room = list->width() - chrome;
    if (total > room && room > 0) {
        for (int c = 0; c < count; ++c) {
            const int heading = metrics.horizontalAdvance(QString::fromLatin1(columns[c].heading)) +
                                2 * metrics.averageCharWidth();
            list->setColumnWidth(c, std::max(heading, list->columnWidth(c) * room / total));
        }
    }
    list->header()->setStretchLastSection(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
}

namespace {

// An edit box or a static and a string, with the conversions for its kind of text.
void ExchangeText(DataExchange& dx, int id, std::string& value, QString (*toWidget)(const std::string&),
                  std::string (*fromWidget)(const QString&))
{
    QWidget* widget = dx.dialog->GetDlgItem(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (dx.saveAndValidate) value = fromWidget(edit->text());
        else edit->setText(toWidget(value));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (dx.saveAndValidate) {
            value = fromWidget(label->text());
        } else {
            label->setText(toWidget(value));
            // The platform's font may be wider than the template's: a text grows
            // to fit, up to the dialog's edge.
            const int room = dx.dialog->width() - label->x() - 4;
            if (label->sizeHint().width() > label->width())
                label->resize(std::min(label->sizeHint().width(), std::max(room, label->width())), label->height());
        }
    } else {
        dx.failed = true;
    }
}

}  // namespace

std::string ToFileText(const QString& text)
{
    return Utf8ToLatin1(text.toStdString());
}

void DDX_Text(DataExchange& dx, int id, std::string& value)
{
    ExchangeText(dx, id, value, FromFileText, ToFileText);
}

void DDX_Name(DataExchange& dx, int id, std::string& value)
{
    ExchangeText(dx, id, value, FromName, ToName);
}

void DDX_CBIndex(DataExchange& dx, int id, int& index)
{
    auto* combo = qobject_cast<QComboBox*>(dx.dialog->GetDlgItem(id));
    if (!combo) {
        dx.failed = true;
        return;
    }
    if (dx.saveAndValidate) index = combo->currentIndex();
    else combo->setCurrentIndex(index);
}

void DDX_Radio(DataExchange& dx, int firstId, int& index)
{
    const int templateId = dx.dialog->property("templateId").toInt();
    const resources::DialogTemplate* dialogTemplate = resources::FindDialogTemplate(templateId);
    if (!dialogTemplate) {
        dx.failed = true;
        return;
    }
    const QList<QRadioButton*> group = RadioGroup(*dx.dialog, firstId, *dialogTemplate);
    if (dx.saveAndValidate) {
        index = -1;
        for (int i = 0; i < group.size(); ++i)
            if (group[i] && group[i]->isChecked()) index = i;
        return;
    }
    for (int i = 0; i < group.size(); ++i) {
        if (!group[i]) continue;
        // Unchecking needs the group's exclusivity out of the way for a moment.
        QButtonGroup* buttons = group[i]->group();
        if (buttons) buttons->setExclusive(false);
        group[i]->setChecked(i == index);
        if (buttons) buttons->setExclusive(true);
    }
}

}  // namespace platform
