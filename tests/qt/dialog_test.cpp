// The template dialog base and its data exchange, offscreen.
#include "qt/dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace {

using resources::IDCANCEL;
using resources::IDOK;

// The setup dialog's fields and exchange, as a dialog of a later issue has them.
class SetupDialog : public platform::Dialog {
public:
    SetupDialog() : Dialog(resources::IDD_APP_SETUP) {}
    int portIndex = -1;
    int orientation = -1;
    QComboBox* portList = nullptr;

protected:
    void DoDataExchange(platform::DataExchange& dx) override
    {
        platform::DDX_CBIndex(dx, 1008, portIndex);
        platform::DDX_Control(dx, 1008, portList);
        platform::DDX_Radio(dx, 1009, orientation);
    }
};

class TextDialog : public platform::Dialog {
public:
    TextDialog() : Dialog(resources::IDD_EDIT_TEST) {}
    std::string description, company;

protected:
    void DoDataExchange(platform::DataExchange& dx) override
    {
        platform::DDX_Text(dx, 1021, description);
        platform::DDX_Text(dx, 1008, company);
    }
};

// Runs `dialog` modally while `user` acts on it once it is up.
int RunWith(platform::Dialog& dialog, std::function<void()> user)
{
    QTimer::singleShot(0, &dialog, std::move(user));
    return dialog.DoModal();
}

template <typename T>
T* Item(const platform::Dialog& dialog, int id)
{
    return qobject_cast<T*>(dialog.GetDlgItem(id));
}

TEST(Dialog, ControlsFromTheTemplateInDialogUnits)
{
    SetupDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Application Setup"));
    EXPECT_EQ(dialog.size(), dialog.MapDialogRect(0, 0, 210, 97).size());
    auto* ok = Item<QPushButton>(dialog, IDOK);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), dialog.MapDialogRect(28, 72, 50, 14));
    EXPECT_FALSE(Item<QPushButton>(dialog, IDCANCEL)->isDefault());
    auto* ports = Item<QComboBox>(dialog, 1008);
    ASSERT_TRUE(ports);
    EXPECT_EQ(ports->count(), 4);
    EXPECT_EQ(ports->itemText(3), QStringLiteral("COM4:"));
    EXPECT_EQ(Item<QRadioButton>(dialog, 1010)->text(), QStringLiteral("Portrait"));
    bool portLabel = false;
    for (QLabel* label : dialog.findChildren<QLabel*>()) portLabel |= label->text() == QStringLiteral("Port:");
    EXPECT_TRUE(portLabel);
    // A dialog unit is a quarter of the average character width and an eighth of its height.
    const QRect unit = dialog.MapDialogRect(4, 8, 4, 8);
    EXPECT_EQ(unit.width(), unit.left());
    EXPECT_EQ(unit.height(), QFontMetrics(dialog.font()).height());
}

TEST(Dialog, InitialisationFillsTheControlsAndOkReadsThemBack)
{
    SetupDialog dialog;
    dialog.portIndex = 2;
    dialog.orientation = 0;
    const int result = RunWith(dialog, [&] {
        EXPECT_EQ(Item<QComboBox>(dialog, 1008)->currentIndex(), 2);
        EXPECT_TRUE(Item<QRadioButton>(dialog, 1009)->isChecked());
        Item<QComboBox>(dialog, 1008)->setCurrentIndex(3);
        Item<QRadioButton>(dialog, 1010)->click();
        EXPECT_FALSE(Item<QRadioButton>(dialog, 1009)->isChecked());  // one group
        Item<QPushButton>(dialog, IDOK)->click();
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.portIndex, 3);
    EXPECT_EQ(dialog.orientation, 1);
    EXPECT_EQ(dialog.portList, Item<QComboBox>(dialog, 1008));
}

TEST(Dialog, CancelAndEscapeLeaveTheFields)
{
    for (const bool escape : {false, true}) {
        SetupDialog dialog;
        dialog.portIndex = 1;
        const int result = RunWith(dialog, [&] {
            EXPECT_EQ(Item<QRadioButton>(dialog, 1009)->isChecked(), false);  // -1: none checked
            Item<QComboBox>(dialog, 1008)->setCurrentIndex(0);
            if (escape) {
                QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(&dialog, &key);
            } else {
                Item<QPushButton>(dialog, IDCANCEL)->click();
            }
        });
        EXPECT_EQ(result, IDCANCEL);
        EXPECT_EQ(dialog.portIndex, 1);
        EXPECT_EQ(dialog.orientation, -1);
    }
}

TEST(Dialog, TextsAreLatin1BothWays)
{
    TextDialog dialog;
    dialog.description = "\xC9" "COLE";
    const int result = RunWith(dialog, [&] {
        EXPECT_EQ(Item<QLineEdit>(dialog, 1021)->text(), QStringLiteral("\u00C9COLE"));
        Item<QLineEdit>(dialog, 1008)->setText(QStringLiteral("50 \u20AC SHOP"));
        Item<QPushButton>(dialog, IDOK)->click();
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.description, "\xC9" "COLE");
    EXPECT_EQ(dialog.company, "50 ? SHOP");
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
