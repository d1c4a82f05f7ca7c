// A PostgreSQL connection through libpq, behind an interface of its own so that
// the core includes no third-party header. Every value reaches the server as a
// parameter of its own: no text is ever spliced into SQL.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace platform {

// One parameter of a statement: text (UTF-8), bytes (bytea, sent as binary) or NULL.
class PgParam {
public:
    static PgParam Text(std::string text) { return PgParam(std::move(text), false, false); }
    static PgParam Bytes(std::span<const unsigned char> bytes)
    {
        return PgParam(std::string(bytes.begin(), bytes.end()), true, false);
    }
    static PgParam Null() { return PgParam({}, false, true); }

    const std::string& value() const { return value_; }
    bool binary() const { return binary_; }
    bool null() const { return null_; }

private:
    PgParam(std::string value, bool binary, bool null) : value_(std::move(value)), binary_(binary), null_(null) {}
    std::string value_;
    bool binary_;
    bool null_;
};

// The result of one statement, in text format.
class PgResult {
public:
    PgResult();
    explicit PgResult(pg_result* result, std::string connectionError = {});
    ~PgResult();
    PgResult(PgResult&&) noexcept;
    PgResult& operator=(PgResult&&) noexcept;

    bool Ok() const;
    // The server's message (or the connection's, when there is no result), one line.
    std::string Error() const;
    // The five-character SQLSTATE, empty when none.
    std::string SqlState() const;

    int Rows() const;
    bool IsNull(int row, int column) const;
    std::string Text(int row, int column) const;
    long long Integer(int row, int column) const;
    std::optional<double> Number(int row, int column) const;
    bool Bool(int row, int column) const;
    // A bytea column, decoded from its hex text.
    std::vector<unsigned char> Bytes(int row, int column) const;
    // Rows a command touched (INSERT, UPDATE ...).
    long long Affected() const;

private:
    pg_result* result_ = nullptr;
    std::string connectionError_;
};

// A notification received on a channel the connection listens to.
struct PgNotification {
    std::string channel;
    std::string payload;
};

class PgConnection {
public:
    // Connects with a libpq connection string, URI or "service=NAME"; libpq's
    // own files and variables (~/.pgpass, PGSERVICEFILE, PGSSLMODE ...) apply.
    // Null with `error` set when the connection failed.
    static std::unique_ptr<PgConnection> Open(const std::string& connection, std::string& error);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    PgResult Exec(const std::string& sql, const std::vector<PgParam>& params = {});
    // Several statements at once, without parameters: for the program's own
    // constant SQL (migrations, transaction control) only.
    PgResult Script(const std::string& sql);
    // COPY ... FROM STDIN with `data` in COPY's text format; the result of the COPY.
    PgResult CopyIn(const std::string& sql, const std::string& data);
    // A notification that arrived, waiting at most `ms` milliseconds for one.
    std::optional<PgNotification> NextNotification(int ms);

    bool Alive() const;
    int ServerVersion() const;  // e.g. 150018
    std::string User() const;   // the role the connection logged in as

private:
    explicit PgConnection(pg_conn* connection) : connection_(connection) {}
    pg_conn* connection_;
};

// Text for COPY's text format: backslash, tab, line feed and carriage return escaped.
void AppendCopyText(std::string& out, const std::string& text);
// A bytea value for COPY's text format: "\\x" and the hex digits.
void AppendCopyBytes(std::string& out, std::span<const unsigned char> bytes);

}  // namespace platform
