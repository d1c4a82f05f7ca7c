// The serial transport: one COM port, opened by number, 8 data bits, no parity,
// one stop bit, no flow control. The channel above it never sees an OS handle.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// How a port operation ended, where an OS call can fail in more than one way.
enum class SerialStatus {
    Ok,
    Refused,   // the OS refused a setting
    Io,        // a read or write error
    Vanished,  // the device went away (a pulled USB cable)
};

// Why a port did not open, for the user.
struct OpenFailure {
    std::string device;   // the device tried, e.g. "/dev/ttyUSB0 (COM33)" or "\\.\COM3"
    int error = 0;        // the system's error number
    std::string reason;   // the system's own words for it
    bool permission = false;
    std::string group;    // with `permission`: the group that owns the device, where known
};

class SerialPort {
public:
    virtual ~SerialPort() = default;
    // Opens COM`port`; on failure fills `failure`.
    virtual bool Open(int port, OpenFailure& failure) = 0;
    // Write time-out: `perByteMs` per byte plus `constantMs`.
    virtual void SetWriteTimeouts(int perByteMs, int constantMs) = 0;
    // Applies the line settings; Refused when the OS will not take them.
    virtual SerialStatus Configure(int baudRate, char parity, int dataBits, int stopBits) = 0;
    virtual void SetupQueues(int inputBytes, int outputBytes) = 0;
    // The bytes waiting in the input queue.
    virtual SerialStatus BytesWaiting(std::size_t& count) = 0;
    // Reads exactly `count` bytes known to be waiting.
    virtual SerialStatus Read(unsigned char* buffer, std::size_t count) = 0;
    // Waits at most `ms` milliseconds for input to arrive; returns at once when some waits.
    virtual void WaitForInput(int ms) = 0;
    virtual void PurgeInput() = 0;
    virtual SerialStatus Write(const unsigned char* data, std::size_t count) = 0;
    virtual void Close() = 0;
};

// Makes the port the channel opens: the system's serial port in the programs,
// a scripted port or one wired to the simulator in tests.
using SerialPortFactory = std::function<std::unique_ptr<SerialPort>()>;

// The system's serial port (POSIX termios or Win32).
std::unique_ptr<SerialPort> MakeSystemSerialPort();

// The device that COM`port` opens on this system, and whether it is an alias.
std::string DeviceForPort(int port);
// Where COM`port` leads, for people: the device its alias leads to followed
// by " (alias)", or the device of the fixed map; empty when it leads nowhere.
std::string DescribePort(int port);
// A serial device that is present on this system.
struct SerialDeviceInfo {
    std::string device;      // "/dev/ttyUSB0", or "COM3" on Windows
    std::string byId;        // its stable name, "/dev/serial/by-id/usb-FTDI_...", where there is one
    std::string vendorId, productId;                // USB, "0403" and "6001"
    std::string manufacturer, product, serialNumber;  // USB, as the adapter names itself
    int comPort = 0;         // the COMn that opens it (an alias first, then the fixed map); 0: none
    bool alias = false;      // COMn opens it through the user's alias
    bool accessible = false; // this user may open it for reading and writing
    std::string group;       // the group that owns it
};

// The serial devices with hardware behind them: on Linux the USB adapters
// (ttyUSB, ttyACM) and the on-board ports whose UART is there, read from
// `sysRoot` and `devRoot` (a test passes a tree of its own); on Windows the
// COM ports the system lists. Each COMn alias of the user's comes first, as
// the device it leads to (hardware or not, a device it leads to listed once);
// then the other devices in device order, a device whose fixed COMn has an
// alias leading elsewhere without a COMn.
std::vector<SerialDeviceInfo> ListSerialPorts(const std::string& sysRoot = "/sys", const std::string& devRoot = "/dev");

// Where the user's alias for COM`port` lives (POSIX: a link in the user's
// configuration folder, ports/COMn); empty where there are no aliases.
std::string PortAliasPath(int port);

}  // namespace platform
