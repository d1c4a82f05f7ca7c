#include "ui/setup_about_dialogs.h"

#include "platform/qt/qt_text.h"

#include <QComboBox>
#include <QLabel>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/kel_context.h"
#include "platform/serial_port.h"

CAppSetup::CAppSetup(QWidget* parent) : Dialog(resources::IDD_APP_SETUP, parent)
{
    // Under the port list: the device the chosen port opens, so COM33 and /dev/ttyUSB0 can be told apart.
    device_ = new QLabel(this);
    device_->setGeometry(MapDialogRect(108, 40, 98, 14));
    device_->setWordWrap(true);
    QFont small = device_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    device_->setFont(small);
}

void CAppSetup::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_CBIndex(dx, resources::IDC_PORT_LIST, portIndex);
    platform::DDX_Control(dx, resources::IDC_PORT_LIST, portList);
    platform::DDX_Radio(dx, resources::IDC_LANDSCAPE, orientation);
}

bool CAppSetup::OnInitDialog()
{
    Dialog::OnInitDialog();
    portList->clear();
    for (int port = 1; port <= CAppInfo::kPortCount; ++port) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "COM%d:", port);
        portList->addItem(QString::fromLatin1(entry));
    }
    UpdateData(false);
    QObject::connect(portList, &QComboBox::currentIndexChanged, this, [this] { ShowDevice(); });
    ShowDevice();
    return true;
}

void CAppSetup::ShowDevice()
{
    const int index = portList->currentIndex();
    if (index < 0) {
        device_->clear();
        return;
    }
    const std::string device = platform::DeviceForPort(index + 1);
    std::error_code error;
    if (device.empty()) device_->setText(QStringLiteral("no device for this port"));
    else
        device_->setText(platform::FromName(device) +
                         (std::filesystem::exists(device, error) ? QString() : QStringLiteral(" (not present)")));
}

CAboutDlg::CAboutDlg(KelContext& context, QWidget* parent) : Dialog(resources::IDD_ABOUTBOX, parent), context_(context)
{
}

void CAboutDlg::DoDataExchange(platform::DataExchange& dx)
{
    platform::DDX_Text(dx, resources::IDC_REVISION, revisionText);
}

bool CAboutDlg::OnInitDialog()
{
    // The tester is asked before the box shows: after its answer or the time-out.
    char revision[8];
    // A port that does not open says so; a tester that does not answer shows "N/A".
    Report(context_.services.Messages(), context_.kelDevice.GetRevision(revision));
    revisionText = std::string("KEL-7300 Version: ") + revision;
    Dialog::OnInitDialog();
    return true;
}

void InstallSetupDialog(CAppInfo& settings, QWidget* parent)
{
    settings.runSetupDialog = [parent](int& portIndex, int& orientation) {
        CAppSetup dialog(parent);
        dialog.portIndex = portIndex;
        dialog.orientation = orientation;
        if (dialog.DoModal() != resources::IDOK) return false;
        portIndex = dialog.portIndex;
        orientation = dialog.orientation;
        return true;
    };
}
