#include "archive/sender.h"

#include <algorithm>

#include "archive/archive.h"
#include "platform/pg.h"

namespace archive {

namespace {

// The gist of a reason for the status bar: libpq's "connection to server ... failed: WHY" gives WHY,
// up to its first tab (where libpq's hint starts), at most 80 characters.
std::string Gist(const std::string& reason)
{
    std::string gist = reason;
    if (const std::size_t failed = gist.find("failed: "); failed != std::string::npos) gist = gist.substr(failed + 8);
    gist = gist.substr(0, gist.find('\t'));
    while (!gist.empty() && gist.back() == ' ') gist.pop_back();
    if (gist.size() > 80) gist = gist.substr(0, 77) + "...";
    return gist;
}

}  // namespace

std::string Sender::State::Text() const
{
    const auto tests = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " test" : " tests"); };
    switch (kind) {
    case Off: return {};
    case Checking: return "Archive: checking";
    case Waiting: return "Archive: " + tests(waiting) + " waiting";
    case AllArchived: return "Archive: all " + tests(archived) + " archived";
    case CannotConnect: return "Archive: cannot connect (" + Gist(reason) + "), will retry";
    case Failed: return "Archive: sending failed (" + Gist(reason) + "), will retry";
    }
    return {};
}

Sender::Sender(std::chrono::milliseconds quiet, std::chrono::milliseconds firstRetry,
               std::chrono::milliseconds longestRetry)
    : quiet_(quiet), firstRetry_(firstRetry), longestRetry_(longestRetry), worker_([this] { Run(); })
{
}

Sender::~Sender()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        cancel_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void Sender::Configure(const std::string& connection, const std::string& folder, bool enabled)
{
    {
        std::lock_guard lock(mutex_);
        connection_ = connection;
        folder_ = folder;
        enabled_ = enabled && !connection.empty();
        now_ = true;
        if (!enabled_) state_ = {};
    }
    wake_.notify_all();
}

void Sender::SendNow()
{
    {
        std::lock_guard lock(mutex_);
        now_ = true;
    }
    wake_.notify_all();
}

Sender::State Sender::Snapshot() const
{
    std::lock_guard lock(mutex_);
    return state_;
}

std::size_t Sender::Rounds() const
{
    std::lock_guard lock(mutex_);
    return rounds_;
}

void Sender::Run()
{
    std::chrono::milliseconds retry = firstRetry_;
    bool failed = false;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        // Off: until configured. After a round: the quiet pause, or the growing retry after a failure.
        if (!enabled_) wake_.wait(lock, [this] { return stop_ || now_; });
        else wake_.wait_for(lock, failed ? retry : quiet_, [this] { return stop_ || now_; });
        if (stop_) return;
        now_ = false;
        if (!enabled_) continue;
        const std::string connection = connection_;
        const std::string folder = folder_;
        const std::string host = host_;
        lock.unlock();
        const bool done = Round(connection, folder, host);
        lock.lock();
        ++rounds_;
        if (done) {
            failed = false;
            retry = firstRetry_;
        } else {
            retry = failed ? std::min(retry * 2, longestRetry_) : firstRetry_;
            failed = true;
        }
    }
}

bool Sender::Round(const std::string& connection, const std::string& folder, const std::string& host)
{
    const auto set = [this](State state) {
        std::lock_guard lock(mutex_);
        if (enabled_) state_ = std::move(state);
    };
    set({State::Checking, 0, 0, {}});
    std::string error;
    const auto db = platform::PgConnection::Open(connection, error);
    if (!db) {
        set({State::CannotConnect, 0, 0, error});
        return false;
    }
    std::vector<LeftOut> waiting;
    std::size_t archived = 0;
    if (Status counted = FindUnarchived(*db, {folder}, waiting, archived); !counted) {
        set({State::Failed, 0, 0, counted.detail});
        return false;
    }
    if (!waiting.empty()) {
        set({State::Waiting, waiting.size(), archived, {}});
        PushReport report;
        if (Status pushed = Push(*db, {folder}, false, host, report, 2000, &cancel_); !pushed) {
            set({State::Failed, waiting.size(), archived, pushed.problem == Problem::ArchiveNewer
                                                               ? MessageFor(pushed).text
                                                               : pushed.detail});
            return false;
        }
        archived += report.added;
        // Left out: damaged files and companies the role may not add to stay waiting, and are said.
        if (!report.leftOut.empty()) {
            set({State::Waiting, report.leftOut.size(), archived,
                 report.leftOut.front().path + ": " + report.leftOut.front().why});
            return true;
        }
    }
    set({State::AllArchived, 0, archived, {}});
    return true;
}

}  // namespace archive
