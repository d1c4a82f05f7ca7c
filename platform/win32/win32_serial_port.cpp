// The serial port on Windows: the Win32 communications calls the tester's
// program always used. Compile-checked in CI with mingw-w64.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/serial_port.h"

namespace platform {
namespace {

std::string ErrorText(DWORD error)
{
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, sizeof text,
                   nullptr);
    return text;
}

SerialStatus Failure()
{
    const DWORD error = GetLastError();
    return error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_BAD_COMMAND || error == ERROR_ACCESS_DENIED ||
                   error == ERROR_OPERATION_ABORTED
               ? SerialStatus::Vanished
               : SerialStatus::Io;
}

class Win32SerialPort : public SerialPort {
public:
    ~Win32SerialPort() override { Close(); }

    bool Open(int port, OpenFailure& failure) override
    {
        char device[32];
        std::snprintf(device, sizeof device, "\\\\.\\COM%d", port);
        failure.device = device;
        handle_ = CreateFileA(device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            failure.error = static_cast<int>(error);
            failure.reason = ErrorText(error);
            failure.permission = error == ERROR_ACCESS_DENIED;
            return false;
        }
        return true;
    }

    void SetWriteTimeouts(int perByteMs, int constantMs) override
    {
        COMMTIMEOUTS timeouts{};
        GetCommTimeouts(handle_, &timeouts);
        timeouts.WriteTotalTimeoutMultiplier = static_cast<DWORD>(perByteMs);
        timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(constantMs);
        SetCommTimeouts(handle_, &timeouts);
    }

    SerialStatus Configure(int baudRate, char parity, int dataBits, int stopBits) override
    {
        char mode[64];
        std::snprintf(mode, sizeof mode, "baud=%d parity=%c data=%d stop=%d", baudRate, parity, dataBits, stopBits);
        DCB settings{};
        settings.DCBlength = sizeof settings;
        if (!BuildCommDCBA(mode, &settings) || !SetCommState(handle_, &settings)) return SerialStatus::Refused;
        return SerialStatus::Ok;
    }

    void SetupQueues(int inputBytes, int outputBytes) override
    {
        SetupComm(handle_, static_cast<DWORD>(inputBytes), static_cast<DWORD>(outputBytes));
    }

    SerialStatus BytesWaiting(std::size_t& count) override
    {
        COMSTAT status{};
        DWORD errors = 0;
        if (!ClearCommError(handle_, &errors, &status)) {
            count = 0;
            return Failure();
        }
        count = status.cbInQue;
        return SerialStatus::Ok;
    }

    SerialStatus Read(unsigned char* buffer, std::size_t count) override
    {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr) || got != count) return Failure();
        return SerialStatus::Ok;
    }

    void WaitForInput(int ms) override { Sleep(static_cast<DWORD>(ms > 0 ? 1 : 0)); }

    void PurgeInput() override { PurgeComm(handle_, PURGE_RXCLEAR); }

    SerialStatus Write(const unsigned char* data, std::size_t count) override
    {
        DWORD written = 0;
        if (!WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr)) return Failure();
        return SerialStatus::Ok;
    }

    void Close() override
    {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::string DeviceForPort(int port)
{
    return "\\\\.\\COM" + std::to_string(port);
}

std::string DescribePort(int port)
{
    return "COM" + std::to_string(port);  // Windows has no aliases of the program's own
}

std::string PortAliasPath(int)
{
    return {};  // COMn is the system's own name on Windows
}

std::unique_ptr<SerialPort> MakeSystemSerialPort()
{
    return std::make_unique<Win32SerialPort>();
}

std::vector<SerialDeviceInfo> ListSerialPorts(const std::string&, const std::string&)
{
    // The COM ports the system knows: those with a DOS device name.
    std::vector<SerialDeviceInfo> ports;
    char target[512];
    for (int port = 1; port <= 100; ++port) {
        const std::string name = "COM" + std::to_string(port);
        if (QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) continue;
        SerialDeviceInfo info;
        info.device = name;
        info.byId = target;
        info.comPort = port;
        info.accessible = true;
        ports.push_back(std::move(info));
    }
    return ports;
}

}  // namespace platform
