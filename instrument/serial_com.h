// The serial channel to the tester: opens its COM port on first use, reads
// exact byte counts and carriage-return lines within time-outs while the
// windows stay alive, writes commands, and traces every byte.
#pragma once

#include <cstdint>
#include <optional>
#include <cstdio>
#include <memory>

#include "platform/serial_port.h"
#include "services/services.h"
#include "platform/trace_file.h"
#include "status/status.h"

// A millisecond time-out on the 32-bit tick count; survives the count's wrap.
class CTimer {
public:
    explicit CTimer(const platform::Services& clock) : clock_(clock) {}
    void Start(std::uint32_t ms);
    // Non-zero once more than `durationMs` have passed since Start; then it stays so.
    int IsExpired();

    std::uint32_t startTick = 0;
    std::uint32_t durationMs = 0;
    int expired = 0;

private:
    const platform::Services& clock_;
};

// Returns after `ms` milliseconds; dispatches nothing.
void Delay(const platform::Services& clock, int ms);

// The line settings a mode text describes.
struct PortSettings {
    int baudRate = 0;
    char parity = 0;
    int dataBits = 0;
    int stopBits = 0;
};
// Reads "baud=%d parity=N data=8 stop=1"; zero when the text is refused.
int BuildCommDCB(const char* modeText, PortSettings& settings);

// The channel is handed the factory of its port by whoever makes it, and
// opens the port through it on first use. Each operation returns Ok, the
// reason the port did not open, or LineFailed (a failed or timed-out read or
// write, which the caller names).
class CSerialCom {
public:
    static constexpr int kDefaultTimeoutMs = 3000;
    static constexpr int kPieceSize = 128;

    CSerialCom(const platform::Services& services, platform::SerialPortFactory openPort);
    ~CSerialCom();
    CSerialCom(const CSerialCom&) = delete;
    CSerialCom& operator=(const CSerialCom&) = delete;

    Status Open();
    // Exactly `count` bytes within `timeoutMs` (-1: 3000) for the whole read.
    Status ReadBytes(unsigned char* buffer, std::uint32_t count, int timeoutMs);
    // One line ended by a carriage return, each byte within `timeoutMs`, and
    // with `deadline` (a tick count) no byte waited for past it.
    Status ReadLine(char* buffer, int size, int timeoutMs, std::optional<std::uint32_t> deadline = {});
    // Discards unread input, then sends `count` bytes in pieces of at most 128.
    Status Write(const void* data, int count);
    int Close();

    // The clock and the event pump that the waits use.
    const platform::Services& services() const { return services_; }

    // One exchange with the tester at a time: an exchange started inside the
    // wait of another (from a dispatched event) is refused.
    bool BeginExchange();
    void EndExchange();
    bool InExchange() const { return exchanges_ > 0; }

    int port = 1;
    std::unique_ptr<platform::SerialPort> handle;
    int baudRate = 19200;
    PortSettings portSettings;
    platform::TraceFile trace;
    int traceDirection = 0;

private:
    void TraceSent(const unsigned char* data, std::size_t count);
    void TraceReceived(const unsigned char* data, std::size_t count);
    // Ends a failed exchange: the trace says why, and with `release` the port is let go.
    Status Failed(Status failure, bool release = false);
    static Status ReadFailure(platform::SerialStatus state);
    // A port that failed or went away is released, so the next exchange opens it afresh.
    void Release();

    const platform::Services& services_;
    platform::SerialPortFactory openPort_;
    int exchanges_ = 0;
};

// Holds an exchange for a scope.
class ExchangeGuard {
public:
    explicit ExchangeGuard(CSerialCom& channel) : channel_(channel), held_(channel.BeginExchange()) {}
    ~ExchangeGuard()
    {
        if (held_) channel_.EndExchange();
    }
    explicit operator bool() const { return held_; }

private:
    CSerialCom& channel_;
    bool held_;
};
