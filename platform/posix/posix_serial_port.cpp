// The serial port on POSIX: termios raw mode, FIONREAD for the input queue,
// tcflush for the purge, writes bounded by poll. COMn opens its alias in the
// user's configuration folder when there is one, else a standard device.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/serial_port.h"

namespace platform {
namespace {

std::filesystem::path ConfigHome()
{
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home) return std::filesystem::path(home) / ".config";
    return {};
}

speed_t Speed(int baudRate)
{
    switch (baudRate) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
    }
}

SerialStatus Failure()
{
    // A device that went away reports EIO, ENXIO or ENODEV from then on.
    return errno == EIO || errno == ENXIO || errno == ENODEV ? SerialStatus::Vanished : SerialStatus::Io;
}

class PosixSerialPort : public SerialPort {
public:
    ~PosixSerialPort() override { Close(); }

    bool Open(int port, OpenFailure& failure) override
    {
        const std::string device = DeviceForPort(port);
        failure.device = (device.empty() ? std::string("(none)") : device) + " (COM" + std::to_string(port) + ")";
        if (device.empty()) {
            failure.error = ENOENT;
            failure.reason = "COM" + std::to_string(port) + " has no device on this system";
            return false;
        }
        fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            failure.error = errno;
            failure.reason = std::strerror(errno);
            failure.permission = errno == EACCES || errno == EPERM;
            struct stat status {};
            if (failure.permission && ::stat(device.c_str(), &status) == 0) {
                const group* owner = ::getgrgid(status.st_gid);
                failure.group = owner ? owner->gr_name : std::to_string(status.st_gid);
            }
            return false;
        }
        ::ioctl(fd_, TIOCEXCL);  // no sharing, as far as the system allows
        return true;
    }

    void SetWriteTimeouts(int perByteMs, int constantMs) override
    {
        perByteMs_ = perByteMs;
        constantMs_ = constantMs;
    }

    SerialStatus Configure(int baudRate, char parity, int dataBits, int stopBits) override
    {
        termios settings{};
        if (::tcgetattr(fd_, &settings) != 0) return SerialStatus::Refused;
        const speed_t speed = Speed(baudRate);
        if (speed == B0 || parity != 'N' || dataBits != 8 || stopBits != 1) return SerialStatus::Refused;
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, speed);
        ::cfsetospeed(&settings, speed);
        settings.c_cflag |= CLOCAL | CREAD;
        settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSTOPB | PARENB);
        settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        if (::tcsetattr(fd_, TCSANOW, &settings) != 0) return SerialStatus::Refused;
        int lines = TIOCM_DTR | TIOCM_RTS;
        ::ioctl(fd_, TIOCMBIS, &lines);  // a pseudo-terminal has no such lines: nothing lost
        return SerialStatus::Ok;
    }

    void SetupQueues(int, int) override {}

    SerialStatus BytesWaiting(std::size_t& count) override
    {
        int waiting = 0;
        if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
            count = 0;
            return Failure();
        }
        // A device that went away may still answer FIONREAD: poll tells.
        if (waiting == 0) {
            pollfd check{fd_, POLLIN, 0};
            if (::poll(&check, 1, 0) > 0 && (check.revents & (POLLHUP | POLLERR | POLLNVAL))) {
                count = 0;
                return SerialStatus::Vanished;
            }
        }
        count = static_cast<std::size_t>(waiting);
        return SerialStatus::Ok;
    }

    SerialStatus Read(unsigned char* buffer, std::size_t count) override
    {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::read(fd_, buffer + done, count - done);
            if (got > 0) {
                done += static_cast<std::size_t>(got);
            } else if (got == 0) {
                return SerialStatus::Vanished;
            } else if (errno == EINTR) {
                continue;
            } else if (errno == EAGAIN) {
                pollfd wait{fd_, POLLIN, 0};
                ::poll(&wait, 1, 10);
            } else {
                return Failure();
            }
        }
        return SerialStatus::Ok;
    }

    void WaitForInput(int ms) override
    {
        pollfd wait{fd_, POLLIN, 0};
        ::poll(&wait, 1, ms);
    }

    void PurgeInput() override { ::tcflush(fd_, TCIFLUSH); }

    SerialStatus Write(const unsigned char* data, std::size_t count) override
    {
        using Clock = std::chrono::steady_clock;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(perByteMs_ * static_cast<long>(count) + constantMs_);
        std::size_t done = 0;
        while (done < count) {
            const ssize_t put = ::write(fd_, data + done, count - done);
            if (put > 0) {
                done += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR) return Failure();
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return SerialStatus::Io;  // the write time-out ran out
            pollfd wait{fd_, POLLOUT, 0};
            ::poll(&wait, 1, static_cast<int>(left));
        }
        return SerialStatus::Ok;
    }

    void Close() override
    {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
    int perByteMs_ = 10;
    int constantMs_ = 200;
};

}  // namespace

std::string PortAliasPath(int port)
{
    const std::filesystem::path home = ConfigHome();
    if (home.empty()) return {};
    return (home / "Quellton" / "KEL-7300" / "ports" / ("COM" + std::to_string(port))).string();
}

std::string DeviceForPort(int port)
{
    const std::string alias = PortAliasPath(port);
    std::error_code error;
    if (!alias.empty() && std::filesystem::exists(std::filesystem::symlink_status(alias, error))) return alias;
    if (port >= 1 && port <= 32) return "/dev/ttyS" + std::to_string(port - 1);
    if (port >= 33 && port <= 64) return "/dev/ttyUSB" + std::to_string(port - 33);
    if (port >= 65 && port <= 96) return "/dev/ttyACM" + std::to_string(port - 65);
    return {};
}

std::string DescribePort(int port)
{
    const std::string alias = PortAliasPath(port);
    std::error_code error;
    if (!alias.empty() && std::filesystem::exists(std::filesystem::symlink_status(alias, error))) {
        std::filesystem::path target = std::filesystem::canonical(alias, error);
        if (error) target = std::filesystem::read_symlink(alias, error);  // leads nowhere (yet)
        return (error ? alias : target.string()) + " (alias)";
    }
    return DeviceForPort(port);
}

std::unique_ptr<SerialPort> MakeSystemSerialPort()
{
    return std::make_unique<PosixSerialPort>();
}

}  // namespace platform
