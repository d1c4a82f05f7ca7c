// Serial ports for tests: a scripted one whose bytes arrive at set times on a
// fake clock, and one wired to the in-process tester simulator.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial_port.h"
#include "services/services.h"
#include "tools/sim/tester_sim.h"

namespace kel_test {

// A clock that only moves when the code under test waits, installed into
// `services` while it lives.
class FakeClock {
public:
    explicit FakeClock(platform::Services& services, std::uint32_t start = 1000) : now(start), services_(services)
    {
        services_.tickSource = [this] { return now; };
        services_.sleeper = [this](int ms) { now += static_cast<std::uint32_t>(ms > 0 ? ms : 1); };
    }
    ~FakeClock()
    {
        services_.tickSource = nullptr;
        services_.sleeper = nullptr;
    }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;
    std::uint32_t now;

private:
    platform::Services& services_;
};

// What a test port saw and how it behaves; shared with the test after the
// channel took the port.
struct PortScript {
    bool failOpen = false;
    bool refuseSettings = false;
    bool vanish = false;
    std::string group;  // the group a refused open names
    std::deque<std::pair<std::uint32_t, unsigned char>> incoming;  // (arrival tick, byte)
    std::vector<std::size_t> writes;                                 // the size of each piece
    std::string sent;
    int opens = 0;
    int purges = 0;
    int configured = 0;

    void Arrive(std::uint32_t at, const std::string& bytes)
    {
        for (const char c : bytes) incoming.emplace_back(at, static_cast<unsigned char>(c));
    }
};

class ScriptedPort : public platform::SerialPort {
public:
    ScriptedPort(std::shared_ptr<PortScript> script, const platform::Services& clock)
        : script_(std::move(script)), clock_(clock) {}
    bool Open(int port, platform::OpenFailure& failure) override
    {
        ++script_->opens;
        failure.device = "/dev/test (COM" + std::to_string(port) + ")";
        failure.error = 13;
        failure.reason = "Permission denied";
        failure.permission = true;
        failure.group = script_->group;
        return !script_->failOpen;
    }
    void SetWriteTimeouts(int, int) override {}
    platform::SerialStatus Configure(int baud, char parity, int data, int stop) override
    {
        ++script_->configured;
        const bool ok = !script_->refuseSettings && baud == 19200 && parity == 'N' && data == 8 && stop == 1;
        return ok ? platform::SerialStatus::Ok : platform::SerialStatus::Refused;
    }
    void SetupQueues(int, int) override {}
    platform::SerialStatus BytesWaiting(std::size_t& count) override
    {
        if (script_->vanish) return platform::SerialStatus::Vanished;
        count = 0;
        for (const auto& [at, byte] : script_->incoming) {
            if (at > clock_.GetTickCount()) break;
            ++count;
        }
        return platform::SerialStatus::Ok;
    }
    platform::SerialStatus Read(unsigned char* buffer, std::size_t count) override
    {
        for (std::size_t i = 0; i < count; ++i) {
            buffer[i] = script_->incoming.front().second;
            script_->incoming.pop_front();
        }
        return platform::SerialStatus::Ok;
    }
    void WaitForInput(int ms) override { clock_.SleepMs(ms); }
    void PurgeInput() override
    {
        ++script_->purges;
        while (!script_->incoming.empty() && script_->incoming.front().first <= clock_.GetTickCount())
            script_->incoming.pop_front();
    }
    platform::SerialStatus Write(const unsigned char* data, std::size_t count) override
    {
        if (script_->vanish) return platform::SerialStatus::Vanished;
        script_->writes.push_back(count);
        script_->sent.append(reinterpret_cast<const char*>(data), count);
        return platform::SerialStatus::Ok;
    }
    void Close() override {}

private:
    std::shared_ptr<PortScript> script_;
    const platform::Services& clock_;
};

// A port whose other end is the simulator; optionally paced at the wire rate.
class SimulatorPort : public platform::SerialPort {
public:
    SimulatorPort(TesterSimulator& simulator, const platform::Services& clock,
                  std::vector<std::size_t>* writes = nullptr)
        : simulator_(simulator), clock_(clock), writes_(writes) {}
    bool Open(int, platform::OpenFailure&) override { return true; }
    void SetWriteTimeouts(int, int) override {}
    platform::SerialStatus Configure(int, char, int, int) override { return platform::SerialStatus::Ok; }
    void SetupQueues(int, int) override {}
    platform::SerialStatus BytesWaiting(std::size_t& count) override
    {
        if (simulator_.Vanished()) return platform::SerialStatus::Vanished;
        count = simulator_.Available(clock_.GetTickCount());
        return platform::SerialStatus::Ok;
    }
    platform::SerialStatus Read(unsigned char* buffer, std::size_t count) override
    {
        simulator_.Take(buffer, count, clock_.GetTickCount());
        return platform::SerialStatus::Ok;
    }
    void WaitForInput(int ms) override { clock_.SleepMs(ms); }
    void PurgeInput() override
    {
        unsigned char discard[256];
        while (simulator_.Take(discard, sizeof discard, clock_.GetTickCount()) > 0) {
        }
    }
    platform::SerialStatus Write(const unsigned char* data, std::size_t count) override
    {
        if (simulator_.Vanished()) return platform::SerialStatus::Vanished;
        if (writes_) writes_->push_back(count);
        simulator_.Receive(data, count);
        return platform::SerialStatus::Ok;
    }
    void Close() override {}

private:
    TesterSimulator& simulator_;
    const platform::Services& clock_;
    std::vector<std::size_t>* writes_;
};

}  // namespace kel_test
