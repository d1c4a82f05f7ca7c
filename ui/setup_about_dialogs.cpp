#include "ui/setup_about_dialogs.h"

#include "qt/qt_text.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>

#include <algorithm>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/kel_context.h"
#include "archive/archive.h"
#include "services/message_box.h"
#include "platform/serial_port.h"

CAppSetup::CAppSetup(KelContext& context, QWidget* parent)
    : Dialog(resources::IDD_APP_SETUP, parent), context_(context)
{
    // Between OK and Cancel: which port is the tester on?
    auto* find = new QPushButton(QStringLiteral("Find Tester"), this);
    find->setGeometry(MapDialogRect(87, 72, 50, 14));
    find->setAutoDefault(false);
    QObject::connect(find, &QPushButton::clicked, this, [this] { FindTester(); });
    // Under the port list: the device the chosen port opens, so COM33 and /dev/ttyUSB0 can be told apart.
    device_ = new QLabel(this);
    device_->setGeometry(MapDialogRect(108, 40, 98, 14));
    device_->setWordWrap(true);
    QFont small = device_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    device_->setFont(small);

    // Below the template's controls: the team archive. The buttons move down with it.
    setFixedSize(MapDialogRect(0, 0, 210, 187).size());
    for (QPushButton* button : findChildren<QPushButton*>()) {
        const QRect at = button->geometry();
        button->move(at.x(), at.y() + MapDialogRect(0, 0, 0, 90).height());
    }
    for (QGroupBox* box : findChildren<QGroupBox*>())
        if (box->title().isEmpty()) box->setGeometry(MapDialogRect(2, 146, 206, 38));
    auto* group = new QGroupBox(QStringLiteral("Team Archive"), this);
    group->setGeometry(MapDialogRect(2, 58, 206, 88));
    auto* label = new QLabel(QStringLiteral("Connection:"), group);
    label->setGeometry(MapDialogRect(6, 12, 44, 12));
    connection_ = new QLineEdit(group);
    connection_->setGeometry(MapDialogRect(50, 10, 150, 13));
    connection_->setPlaceholderText(QStringLiteral("host=... dbname=... user=...  or  service=NAME"));
    connection_->setToolTip(QStringLiteral("A libpq connection string, URI or service=NAME. No password is stored: "
                                           "libpq reads it from ~/.pgpass."));
    auto* test = new QPushButton(QStringLiteral("Test Connection"), group);
    test->setGeometry(MapDialogRect(6, 27, 70, 14));
    test->setAutoDefault(false);
    QObject::connect(test, &QPushButton::clicked, this, [this] { TestConnection(); });
    send_ = new QCheckBox(QStringLiteral("Send downloaded tests to the archive"), group);
    send_->setGeometry(MapDialogRect(6, 44, 196, 12));
    auto* note = new QLabel(QStringLiteral("No password is stored: libpq reads it from ~/.pgpass."), group);
    note->setGeometry(MapDialogRect(82, 25, 120, 17));
    note->setWordWrap(true);
    found_ = new QLabel(group);
    found_->setGeometry(MapDialogRect(6, 57, 196, 28));
    found_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    found_->setWordWrap(true);
    found_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    found_->setFont(small);
    note->setFont(small);
}

void CAppSetup::TestConnection()
{
    const std::string connection = connection_->text().trimmed().toStdString();
    if (connection.empty()) {
        found_->setText(QStringLiteral("No connection given."));
        return;
    }
    // A wait of at most libpq's own connect time-out, with the wait cursor.
    found_->setText(QStringLiteral("Connecting..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    std::string error;
    const auto db = platform::PgConnection::Open(connection, error);
    archive::Found found;
    const Status described = db ? archive::Describe(*db, found) : Status::Of(Problem::ArchiveUnreachable);
    QApplication::restoreOverrideCursor();
    if (!db) found_->setText(QStringLiteral("Cannot connect: ") + QString::fromStdString(error));
    else if (!described) found_->setText(QString::fromStdString(MessageFor(described).text));
    else found_->setText(QStringLiteral("Connected: ") + QString::fromStdString(found.Text()));
}

void CAppSetup::DoDataExchange(platform::DataExchange& dx)
{
    if (dx.saveAndValidate) {
        archive.connection = connection_->text().trimmed().toStdString();
        archive.sendDownloaded = send_->isChecked();
    } else {
        connection_->setText(QString::fromStdString(archive.connection));
        send_->setChecked(archive.sendDownloaded);
    }
    platform::DDX_CBIndex(dx, resources::IDC_PORT_LIST, portIndex);
    platform::DDX_Control(dx, resources::IDC_PORT_LIST, portList);
    platform::DDX_Radio(dx, resources::IDC_LANDSCAPE, orientation);
}

bool CAppSetup::OnInitDialog()
{
    Dialog::OnInitDialog();
    portList->clear();
    // Each entry keeps its place, COM1 to COM100, and says where it leads and whether a device is there.
    const std::vector<platform::SerialDeviceInfo> present = platform::ListSerialPorts();
    for (int port = 1; port <= CAppInfo::kPortCount; ++port) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "COM%d:", port);
        QString text = QString::fromLatin1(entry);
        const auto found = std::find_if(present.begin(), present.end(),
                                        [port](const platform::SerialDeviceInfo& d) { return d.comPort == port; });
        const std::string device = found != present.end()
                                       ? found->device + (found->alias ? " (alias)" : "")
                                       : platform::DescribePort(port);
        if (found != present.end()) {
            text += QStringLiteral("  ") + platform::FromName(device);
            const std::string names = found->manufacturer + (found->product.empty() ? "" : " " + found->product);
            if (!names.empty()) text += QStringLiteral("  ") + QString::fromUtf8(names);
        } else if (!device.empty()) {
            text += QStringLiteral("  ") + platform::FromName(device) + QStringLiteral(" (not present)");
        }
        portList->addItem(text);
    }
    // The open list is as wide as its longest entry; closed, the label below names the device.
    portList->view()->setMinimumWidth(portList->view()->sizeHintForColumn(0) + 24);
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
        device_->setText(platform::FromName(platform::DescribePort(index + 1)) +
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

void CAppSetup::FindTester()
{
    const std::vector<int> ports = CKELDevice::PresentPorts();
    QProgressDialog progress(QStringLiteral("Looking for the KEL-7300..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(ports.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    int probed = 0;
    CSerialCom& channel = context_.serialChannel;
    const int before = channel.port;
    const int found = context_.kelDevice.FindTester(ports, [&](int port) {
        progress.setValue(probed++);
        progress.setLabelText(QStringLiteral("Looking for the KEL-7300 on COM%1 (%2)...")
                                  .arg(port)
                                  .arg(platform::FromName(platform::DescribePort(port))));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    });
    const bool cancelled = progress.wasCanceled();
    progress.reset();
    // The list chooses the port; the channel keeps the one in force until OK.
    channel.Close();
    channel.port = before;
    platform::MessagePresenter& messages = context_.services.Messages();
    if (found > 0) {
        portList->setCurrentIndex(found - 1);
        const std::string text = "The KEL-7300 answers on COM" + std::to_string(found) + " (" +
                                 platform::DescribePort(found) + ").";
        AppMessageBox(messages, text.c_str());
    } else if (!cancelled) {
        const std::string text = "No port answers as a KEL-7300 (" + std::to_string(ports.size()) +
                                 " probed). Is the tester switched on and its cable plugged in?";
        AppMessageBox(messages, text.c_str());
    }
}

void InstallSetupDialog(KelContext& context, QWidget* parent)
{
    context.appInfo.runSetupDialog = [&context, parent](int& portIndex, int& orientation, ArchiveSettings& archive) {
        CAppSetup dialog(context, parent);
        dialog.portIndex = portIndex;
        dialog.orientation = orientation;
        dialog.archive = archive;
        if (dialog.DoModal() != resources::IDOK) return false;
        portIndex = dialog.portIndex;
        orientation = dialog.orientation;
        archive = dialog.archive;
        return true;
    };
}
