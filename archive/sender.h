// Sends the tests of a folder that the archive lacks, in the background: on a
// worker thread that touches nothing but its own connection, so that the
// window never waits on the network. The window asks for its state now and
// then; a failure is kept and retried, the waits growing from seconds to minutes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

namespace archive {

class Sender {
public:
    struct State {
        enum Kind {
            Off,            // no archive configured, or sending switched off
            Checking,       // connecting, or counting what the archive lacks
            Waiting,        // `waiting` tests are being sent
            AllArchived,    // every test of the folder is archived: `archived`
            CannotConnect,  // `reason`; retried
            Failed,         // the server refused or failed part way: `reason`; retried
        };
        Kind kind = Off;
        std::size_t waiting = 0;
        std::size_t archived = 0;
        std::string reason;
        // The status bar's words: "Archive: 3 tests waiting", "Archive: all 57 tests
        // archived", "Archive: cannot connect (reason), will retry" (the reason's gist;
        // `reason` keeps all of it); empty when Off.
        std::string Text() const;
    };

    // `quiet` is the pause between two rounds when all went well.
    explicit Sender(std::chrono::milliseconds quiet = std::chrono::minutes(3),
                    std::chrono::milliseconds firstRetry = std::chrono::seconds(2),
                    std::chrono::milliseconds longestRetry = std::chrono::minutes(5));
    // Stops the worker: a batch under way is finished or rolled back by the
    // server, never half counted; the next start sends what is missing.
    ~Sender();
    Sender(const Sender&) = delete;
    Sender& operator=(const Sender&) = delete;

    // What to send from where, and the machine's name the archive records; an
    // empty connection or `enabled` false switches sending off.
    void Configure(const std::string& connection, const std::string& folder, bool enabled);
    void SetHost(const std::string& host) { std::lock_guard lock(mutex_); host_ = host; }
    // A round now (after a download, say) instead of at the next pause.
    void SendNow();
    State Snapshot() const;
    // How many rounds have ended (for waiting on the worker).
    std::size_t Rounds() const;

private:
    void Run();
    // One round: connect, count what the archive lacks, send it. False when it failed.
    bool Round(const std::string& connection, const std::string& folder, const std::string& host);

    std::chrono::milliseconds quiet_, firstRetry_, longestRetry_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::string connection_, folder_;
    bool enabled_ = false;
    bool now_ = false;
    bool stop_ = false;
    State state_;
    std::size_t rounds_ = 0;
    std::atomic<bool> cancel_{false};  // ends a push under way when the sender stops
    std::string host_;
    std::thread worker_;  // last: it starts once everything else is made
};

}  // namespace archive
