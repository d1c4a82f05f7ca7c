#include "instrument/serial_com.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/trace_file.h"

namespace {

// Events dispatched in one polling pass at most.
constexpr int kEventsPerPass = 12;
// How long a pass that found no byte waits on the port.
constexpr int kIdleWaitMs = 2;

}  // namespace

void CTimer::Start(std::uint32_t ms)
{
    startTick = clock_.GetTickCount();
    durationMs = ms;
}

int CTimer::IsExpired()
{
    if (expired) return 1;
    const std::uint32_t elapsed = clock_.GetTickCount() - startTick;  // unsigned: a wrap does no harm
    if (elapsed > durationMs) expired = 1;
    return expired;
}

void Delay(const platform::Services& clock, int ms)
{
    CTimer timer(clock);
    timer.Start(static_cast<std::uint32_t>(ms));
    while (!timer.IsExpired()) clock.SleepMs(1);
}

int BuildCommDCB(const char* modeText, PortSettings& settings)
{
    int baud = 0, data = 0, stop = 0;
    char parity = 0;
    int consumed = 0;
    if (std::sscanf(modeText, "baud=%d parity=%c data=%d stop=%d%n", &baud, &parity, &data, &stop, &consumed) != 4 ||
        modeText[consumed] != 0 || baud <= 0)
        return 0;
    settings = {baud, parity, data, stop};
    return 1;
}

CSerialCom::CSerialCom(const platform::Services& services, platform::SerialPortFactory openPort)
    : services_(services), openPort_(std::move(openPort))
{
}

CSerialCom::~CSerialCom()
{
    Close();
}

Status CSerialCom::Open()
{
    if (handle) return {};

    std::unique_ptr<platform::SerialPort> device = openPort_ ? openPort_() : platform::MakeSystemSerialPort();
    platform::OpenFailure failure;
    if (!device->Open(port, failure)) {
        std::string reason = failure.reason;
        // The fix, for the group that really owns the device (dialout on Debian, uucp elsewhere).
        if (failure.permission) {
            const std::string group = failure.group.empty() ? std::string("dialout") : failure.group;
            reason += "\nYou must be a member of the group " + group + " that owns the device: sudo usermod -aG " +
                      group + " $USER, then log in again.";
        }
        return {Problem::PortDidNotOpen, failure.device, reason, {}, failure.error};
    }
    device->SetWriteTimeouts(10, 200);
    char mode[64];
    std::snprintf(mode, sizeof mode, "baud=%d parity=N data=8 stop=1", baudRate);
    // A port whose settings were refused is released: the next exchange configures it again.
    if (!BuildCommDCB(mode, portSettings)) return Status::Of(Problem::PortModeRefused);
    if (device->Configure(portSettings.baudRate, portSettings.parity, portSettings.dataBits,
                          portSettings.stopBits) != platform::SerialStatus::Ok)
        return Status::Of(Problem::PortSettingsRefused);
    device->SetupQueues(64000, 4096);
    trace.Open();
    handle = std::move(device);
    return {};
}

Status CSerialCom::ReadBytes(unsigned char* buffer, std::uint32_t count, int timeoutMs)
{
    if (Status opened = Open(); !opened) return opened;
    const int waitMs = timeoutMs == -1 ? kDefaultTimeoutMs : timeoutMs;
    CTimer timer(services_);
    timer.Start(static_cast<std::uint32_t>(waitMs));
    if (count == 0) return {};
    std::uint32_t wanted = count;
    unsigned char* position = buffer;
    while (true) {
        // The expiry comes first: bytes that wait when the time is up do not save the read.
        if (timer.IsExpired()) return Failed(Status::Line(LineCause::TimedOut, waitMs));
        services_.PumpEvents(kEventsPerPass);
        if (!handle) return Status::Line(LineCause::Closed);  // a dispatched event closed the channel
        std::size_t waiting = 0;
        if (const platform::SerialStatus state = handle->BytesWaiting(waiting); state != platform::SerialStatus::Ok)
            return Failed(ReadFailure(state), true);
        const std::size_t take = std::min<std::size_t>(waiting, wanted);
        if (take > 0) {
            if (const platform::SerialStatus state = handle->Read(position, take); state != platform::SerialStatus::Ok)
                return Failed(ReadFailure(state), true);
            TraceReceived(position, take);
            position += take;
            wanted -= static_cast<std::uint32_t>(take);
            if (wanted == 0) return {};
        } else {
            handle->WaitForInput(kIdleWaitMs);
        }
    }
}

Status CSerialCom::ReadLine(char* buffer, int size, int timeoutMs, std::optional<std::uint32_t> deadline)
{
    if (Status opened = Open(); !opened) return opened;
    if (size < 1) return Status::Line(LineCause::LineTooLong);
    int length = 0;
    while (true) {
        unsigned char byte = 0;
        int wait = timeoutMs;
        if (deadline) {
            const auto left = static_cast<std::int32_t>(*deadline - services_.GetTickCount());
            if (left <= 0) return Failed(Status::Line(LineCause::TimedOut, timeoutMs));
            wait = std::min(wait, static_cast<int>(left));
        }
        if (Status read = ReadBytes(&byte, 1, wait); !read) return read;
        if (byte == '\r') {
            buffer[length] = 0;
            return {};
        }
        buffer[length++] = byte == 0 ? ' ' : static_cast<char>(byte);
        if (length >= size - 1) return Failed(Status::Line(LineCause::LineTooLong));  // not terminated, not used
    }
}

Status CSerialCom::Write(const void* data, int count)
{
    if (Status opened = Open(); !opened) return opened;
    const auto* bytes = static_cast<const unsigned char*>(data);
    const std::size_t total = count > 0 ? static_cast<std::size_t>(count) : 0;
    TraceSent(bytes, total);
    for (bool reopened = false;;) {
        handle->PurgeInput();
        std::size_t sent = 0;
        platform::SerialStatus status = platform::SerialStatus::Ok;
        for (; sent < total; sent += kPieceSize) {
            const std::size_t piece = std::min<std::size_t>(kPieceSize, total - sent);
            status = handle->Write(bytes + sent, piece);
            if (status != platform::SerialStatus::Ok) break;
        }
        if (status == platform::SerialStatus::Ok) return {};
        // A port that went away while the channel was idle (an adapter unplugged
        // and plugged back) is opened afresh, once, before the command fails:
        // nothing of it has reached the tester yet.
        const bool vanished = status == platform::SerialStatus::Vanished;
        if (!vanished || sent > 0 || reopened)
            return Failed(Status::Line(vanished ? LineCause::Vanished : LineCause::WriteError), true);
        Release();
        reopened = true;
        if (Status again = Open(); !again) return again;
    }
}

int CSerialCom::Close()
{
    Release();
    return 1;
}

void CSerialCom::Release()
{
    if (handle) {
        handle->Close();
        handle.reset();
    }
    trace.Close();
}

bool CSerialCom::BeginExchange()
{
    if (exchanges_ > 0) return false;
    ++exchanges_;
    return true;
}

void CSerialCom::EndExchange()
{
    if (exchanges_ > 0) --exchanges_;
}

Status CSerialCom::ReadFailure(platform::SerialStatus state)
{
    return Status::Line(state == platform::SerialStatus::Vanished ? LineCause::Vanished : LineCause::ReadError);
}

Status CSerialCom::Failed(Status failure, bool release)
{
    // The trace says why the exchange ended, on a line of its own.
    if (trace.IsOpen()) {
        trace.Write("+++\nFAILED: ");
        trace.Write(CauseText(failure).c_str());
        trace.Write("\n");
        traceDirection = 0;
    }
    if (release) Release();
    return failure;
}

void CSerialCom::TraceSent(const unsigned char* data, std::size_t count)
{
    if (!trace.IsOpen()) return;
    if (traceDirection != 2) trace.Write("+++\n");
    traceDirection = 2;
    trace.Write("SEND:");
    trace.Write(data, count);
}

void CSerialCom::TraceReceived(const unsigned char* data, std::size_t count)
{
    if (!trace.IsOpen()) return;
    if (traceDirection != 1) trace.Write("+++\n");
    traceDirection = 1;
    trace.Write(data, count);
}
