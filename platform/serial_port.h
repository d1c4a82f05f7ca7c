// The serial transport: one COM port, opened by number, 8 data bits, no parity,
// one stop bit, no flow control. The channel above it never sees an OS handle.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

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
// Where the user's alias for COM`port` lives (POSIX: a link in the user's
// configuration folder, ports/COMn); empty where there are no aliases.
std::string PortAliasPath(int port);

}  // namespace platform
