// The system's serial port over a real pseudo-terminal: the alias lookup, raw
// mode, a reply in pieces and a line that hangs up.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "instrument/serial_com.h"
#include "platform/serial_port.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using kel_test::TempDir;

// A pseudo-terminal whose other end COM`port` leads to, through the alias.
class LinkedPty {
public:
    explicit LinkedPty(int port)
    {
        setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        setenv("XDG_CACHE_HOME", config_.path().c_str(), 1);
        master = posix_openpt(O_RDWR | O_NOCTTY);
        grantpt(master);
        unlockpt(master);
        const fs::path alias = config_.path() / "Quellton" / "KEL-7300" / "ports" / ("COM" + std::to_string(port));
        fs::create_directories(alias.parent_path());
        fs::create_symlink(ptsname(master), alias);
    }
    ~LinkedPty()
    {
        if (master >= 0) close(master);
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("XDG_CACHE_HOME");
    }
    // What arrives at this end within `ms`.
    std::string Read(std::size_t wanted, int ms)
    {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (got.size() < wanted && std::chrono::steady_clock::now() < end) {
            pollfd wait{master, POLLIN, 0};
            if (poll(&wait, 1, 10) <= 0) continue;
            char buffer[512];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    void Write(const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size())); }

    int master = -1;

private:
    TempDir config_;
};

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
    return bytes;
}

TEST(PosixSerialPort, ThePortNumberLeadsToItsAliasOrItsStandardDevice)
{
    TempDir config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    const fs::path ports = config.path() / "Quellton" / "KEL-7300" / "ports";
    fs::create_directories(ports);
    fs::create_symlink("/dev/ttyUSB7", ports / "COM3");  // an alias counts even while its device is unplugged
    const struct {
        int port;
        std::string device;
    } cases[] = {
        {1, "/dev/ttyS0"},    {32, "/dev/ttyS31"},   {33, "/dev/ttyUSB0"}, {64, "/dev/ttyUSB31"},
        {65, "/dev/ttyACM0"}, {96, "/dev/ttyACM31"}, {97, ""},             {100, ""},
        {3, (ports / "COM3").string()},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::DeviceForPort(c.port), c.device) << c.port;
    unsetenv("XDG_CONFIG_HOME");
}

TEST(PosixSerialPort, RawEightBitLineWithoutEcho)
{
    LinkedPty pty(11);
    auto port = platform::MakeSystemSerialPort();
    platform::OpenFailure failure;
    ASSERT_TRUE(port->Open(11, failure)) << failure.reason;
    ASSERT_EQ(port->Configure(19200, 'N', 8, 1), platform::SerialStatus::Ok);

    // Every byte value arrives as it was sent: CR stays CR, ^C, ^S, DEL and 0xFF are data.
    pty.Write(AllBytes());
    std::string got;
    for (int pass = 0; pass < 200 && got.size() < 256; ++pass) {
        port->WaitForInput(10);
        std::size_t waiting = 0;
        ASSERT_EQ(port->BytesWaiting(waiting), platform::SerialStatus::Ok);
        std::vector<unsigned char> buffer(waiting);
        ASSERT_EQ(port->Read(buffer.data(), waiting), platform::SerialStatus::Ok);
        got.append(buffer.begin(), buffer.end());
    }
    EXPECT_EQ(got, AllBytes());
    // Nothing that came in goes back out (no echo), and what goes out is not translated.
    EXPECT_EQ(pty.Read(1, 100), "");
    const std::string all = AllBytes();
    ASSERT_EQ(port->Write(reinterpret_cast<const unsigned char*>(all.data()), all.size()), platform::SerialStatus::Ok);
    EXPECT_EQ(pty.Read(256, 2000), all);
    port->Close();
}

TEST(PosixSerialPort, AReplyInPiecesIsReadWholeAndAHangUpEndsTheReadAtOnce)
{
    LinkedPty pty(12);
    platform::Services services;
    CSerialCom channel(services, platform::MakeSystemSerialPort);
    channel.port = 12;
    ASSERT_TRUE(channel.Open());
    std::thread tester([&] {
        pty.Write("O");
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        pty.Write("K!");
    });
    unsigned char reply[3] = {};
    EXPECT_TRUE(channel.ReadBytes(reply, 3, 2000));
    tester.join();
    EXPECT_EQ(std::string(reply, reply + 3), "OK!");

    // The other side closes: the read ends long before its time-out and the port is let go.
    close(pty.master);
    pty.master = -1;
    const auto start = std::chrono::steady_clock::now();
    unsigned char byte = 0;
    EXPECT_FALSE(channel.ReadBytes(&byte, 1, 3000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(channel.handle, nullptr);
}

}  // namespace

namespace {

TEST(PosixSerialPort, AnAdapterPluggedBackIsOpenedAfreshByTheNextCommand)
{
    LinkedPty pty(12);
    platform::Services services;
    CSerialCom channel(services, platform::MakeSystemSerialPort);
    channel.port = 12;
    ASSERT_TRUE(channel.Write("END\r", 4));
    EXPECT_EQ(pty.Read(4, 1000), "END\r");

    // Unplugged: the other end goes away. Plugged back: a new device behind the same alias.
    close(pty.master);
    pty.master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(pty.master);
    unlockpt(pty.master);
    const std::filesystem::path alias = platform::PortAliasPath(12);
    std::filesystem::remove(alias);
    std::filesystem::create_symlink(ptsname(pty.master), alias);

    EXPECT_TRUE(channel.Write("???\r", 4));  // the first command after the replug goes through
    EXPECT_EQ(pty.Read(4, 1000), "???\r");

    // Unplugged and not back: the command fails after one try, and the port is let go.
    close(pty.master);
    pty.master = -1;
    std::filesystem::remove(alias);
    EXPECT_FALSE(channel.Write("???\r", 4));
    EXPECT_EQ(channel.handle, nullptr);
}

}  // namespace

namespace {

TEST(ListSerialPorts, DevicesWithHardwareTheirNamesAndTheirPorts)
{
    namespace fs = std::filesystem;
    TempDir root;
    const fs::path sys = root.path() / "sys", dev = root.path() / "dev";
    // A USB adapter: tty -> interface -> the USB device that names itself.
    const fs::path usb = sys / "devices" / "pci0000:00" / "usb1" / "1-2";
    fs::create_directories(usb / "1-2:1.0" / "ttyUSB0");
    for (const auto& [file, text] : {std::pair{"idVendor", "0403"}, {"idProduct", "6001"}, {"manufacturer", "FTDI"},
                                     {"product", "FT232R USB UART"}, {"serial", "A50285BI"}})
        std::ofstream(usb / file) << text << "\n";
    const fs::path acm = sys / "devices" / "pci0000:00" / "usb1" / "1-3" / "1-3:1.0" / "ttyACM3";
    fs::create_directories(acm);
    const auto tty = [&](const std::string& name, const fs::path& device, const char* type) {
        fs::create_directories(sys / "class" / "tty" / name);
        if (!device.empty()) fs::create_directory_symlink(device, sys / "class" / "tty" / name / "device");
        if (type) std::ofstream(sys / "class" / "tty" / name / "type") << type << "\n";
        fs::create_directories(dev);
        std::ofstream(dev / name) << "";
    };
    tty("ttyUSB0", usb / "1-2:1.0" / "ttyUSB0", nullptr);
    tty("ttyACM3", acm, nullptr);
    fs::create_directories(sys / "devices" / "platform" / "serial8250");
    tty("ttyS0", sys / "devices" / "platform" / "serial8250", "4");  // a 16550A
    tty("ttyS1", sys / "devices" / "platform" / "serial8250", "0");  // no UART behind it
    tty("tty0", {}, nullptr);                                          // a virtual console
    tty("ttyUSB1", {}, nullptr);                                       // unplugged: no device
    fs::create_directories(dev / "serial" / "by-id");
    fs::create_symlink("../../ttyUSB0", dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

    LinkedPty pty(9);  // the user's configuration, and COM9 leading elsewhere
    const fs::path alias = platform::PortAliasPath(70);
    fs::create_symlink(dev / "ttyACM3", alias);  // COM70 leads to the ACM device: the alias wins
    // COM1 leads to another device: ttyS0, which COM1 would be, has no COMn then.
    fs::create_symlink(dev / "ttyS1", platform::PortAliasPath(1));

    const std::vector<platform::SerialDeviceInfo> ports = platform::ListSerialPorts(sys.string(), dev.string());
    std::vector<std::string> shown;
    for (const auto& port : ports)
        shown.push_back(fs::path(port.device).filename().string() + " COM" + std::to_string(port.comPort) + " " +
                        port.vendorId + ":" + port.productId + " " + port.manufacturer + "/" + port.product + "/" +
                        port.serialNumber + " " + fs::path(port.byId).filename().string() + " " +
                        (port.accessible ? "ok" : "no") + " " + port.group + (port.alias ? " alias" : ""));
    ASSERT_EQ(ports.size(), 5u);
    EXPECT_EQ(platform::DescribePort(9), std::string(ptsname(pty.master)) + " (alias)");
    EXPECT_EQ(platform::DescribePort(2), "/dev/ttyS1");
    EXPECT_EQ(ports[1].device, std::string(ptsname(pty.master)));  // where COM9 really leads, "(alias)"
    shown.erase(shown.begin() + 1);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "ttyS1 COM1 : //  ok root alias",
                         "ttyACM3 COM70 : //  ok root alias",
                         "ttyS0 COM0 : //  ok root",
                         "ttyUSB0 COM33 0403:6001 FTDI/FT232R USB UART/A50285BI "
                         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0 ok root",
                     }));
}

}  // namespace
