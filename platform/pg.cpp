#include "platform/pg.h"

#include <libpq-fe.h>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/select.h>
#endif

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string OneLine(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

}  // namespace

PgResult::PgResult() = default;

PgResult::PgResult(pg_result* result, std::string connectionError)
    : result_(result), connectionError_(std::move(connectionError))
{
}

PgResult::~PgResult()
{
    if (result_) PQclear(result_);
}

PgResult::PgResult(PgResult&& other) noexcept
    : result_(other.result_), connectionError_(std::move(other.connectionError_))
{
    other.result_ = nullptr;
}

PgResult& PgResult::operator=(PgResult&& other) noexcept
{
    if (this != &other) {
        if (result_) PQclear(result_);
        result_ = other.result_;
        connectionError_ = std::move(other.connectionError_);
        other.result_ = nullptr;
    }
    return *this;
}

bool PgResult::Ok() const
{
    if (!result_) return false;
    const ExecStatusType status = PQresultStatus(result_);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::string PgResult::Error() const
{
    if (!result_) return connectionError_.empty() ? "no connection to the server" : connectionError_;
    const std::string message = OneLine(PQresultErrorMessage(result_));
    return message.empty() ? connectionError_ : message;
}

std::string PgResult::SqlState() const
{
    const char* state = result_ ? PQresultErrorField(result_, PG_DIAG_SQLSTATE) : nullptr;
    return state ? state : "";
}

int PgResult::Rows() const
{
    return result_ ? PQntuples(result_) : 0;
}

bool PgResult::IsNull(int row, int column) const
{
    return !result_ || PQgetisnull(result_, row, column);
}

std::string PgResult::Text(int row, int column) const
{
    if (IsNull(row, column)) return {};
    return std::string(PQgetvalue(result_, row, column), static_cast<std::size_t>(PQgetlength(result_, row, column)));
}

long long PgResult::Integer(int row, int column) const
{
    return IsNull(row, column) ? 0 : std::strtoll(PQgetvalue(result_, row, column), nullptr, 10);
}

std::optional<double> PgResult::Number(int row, int column) const
{
    // The server writes doubles with shortest round-trip digits (extra_float_digits 1, its default).
    if (IsNull(row, column)) return std::nullopt;
    return std::strtod(PQgetvalue(result_, row, column), nullptr);
}

bool PgResult::Bool(int row, int column) const
{
    return !IsNull(row, column) && PQgetvalue(result_, row, column)[0] == 't';
}

std::vector<unsigned char> PgResult::Bytes(int row, int column) const
{
    std::vector<unsigned char> bytes;
    if (IsNull(row, column)) return bytes;
    const char* text = PQgetvalue(result_, row, column);
    const std::size_t length = static_cast<std::size_t>(PQgetlength(result_, row, column));
    if (length < 2 || text[0] != '\\' || text[1] != 'x') return bytes;  // the hex format, the server's default
    bytes.reserve((length - 2) / 2);
    for (std::size_t i = 2; i + 1 < length; i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return {};
        bytes.push_back(static_cast<unsigned char>(high << 4 | low));
    }
    return bytes;
}

long long PgResult::Affected() const
{
    return result_ ? std::strtoll(PQcmdTuples(result_), nullptr, 10) : 0;
}

std::unique_ptr<PgConnection> PgConnection::Open(const std::string& connection, std::string& error)
{
    // A server that does not answer is given up after 10 s, unless the connection says otherwise
    // (its own keywords come later, and win).
    const char* const keywords[] = {"connect_timeout", "dbname", nullptr};
    const char* const values[] = {"10", connection.c_str(), nullptr};
    pg_conn* raw = PQconnectdbParams(keywords, values, 1);
    if (!raw) {
        error = "out of memory";
        return nullptr;
    }
    if (PQstatus(raw) != CONNECTION_OK) {
        error = OneLine(PQerrorMessage(raw));
        PQfinish(raw);
        return nullptr;
    }
    // Times in UTC and doubles in their shortest exact form, whatever the server's settings.
    PQclear(PQexec(raw, "SET TIME ZONE 'UTC'; SET extra_float_digits = 1; SET client_min_messages = warning"));
    return std::unique_ptr<PgConnection>(new PgConnection(raw));
}

PgConnection::~PgConnection()
{
    PQfinish(connection_);
}

PgResult PgConnection::Exec(const std::string& sql, const std::vector<PgParam>& params)
{
    std::vector<const char*> values(params.size());
    std::vector<int> lengths(params.size());
    std::vector<int> formats(params.size());
    for (std::size_t i = 0; i < params.size(); ++i) {
        values[i] = params[i].null() ? nullptr : params[i].value().data();
        lengths[i] = static_cast<int>(params[i].value().size());
        formats[i] = params[i].binary() ? 1 : 0;
    }
    pg_result* result = PQexecParams(connection_, sql.c_str(), static_cast<int>(params.size()), nullptr,
                                     values.data(), lengths.data(), formats.data(), 0);
    return PgResult(result, OneLine(PQerrorMessage(connection_)));
}

PgResult PgConnection::Script(const std::string& sql)
{
    return PgResult(PQexec(connection_, sql.c_str()), OneLine(PQerrorMessage(connection_)));
}

PgResult PgConnection::CopyIn(const std::string& sql, const std::string& data)
{
    pg_result* started = PQexec(connection_, sql.c_str());
    if (!started || PQresultStatus(started) != PGRES_COPY_IN) return PgResult(started, OneLine(PQerrorMessage(connection_)));
    PQclear(started);
    constexpr std::size_t kPiece = 1 << 20;
    bool sent = true;
    for (std::size_t at = 0; sent && at < data.size(); at += kPiece) {
        const std::size_t piece = std::min(kPiece, data.size() - at);
        sent = PQputCopyData(connection_, data.data() + at, static_cast<int>(piece)) == 1;
    }
    PQputCopyEnd(connection_, sent ? nullptr : "the client could not send the data");
    // The COPY's own result, then the end of the results.
    PgResult result(PQgetResult(connection_), OneLine(PQerrorMessage(connection_)));
    while (pg_result* more = PQgetResult(connection_)) PQclear(more);
    return result;
}

std::optional<PgNotification> PgConnection::NextNotification(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        PQconsumeInput(connection_);
        if (PGnotify* notify = PQnotifies(connection_)) {
            PgNotification notification{notify->relname, notify->extra ? notify->extra : ""};
            PQfreemem(notify);
            return notification;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || PQstatus(connection_) != CONNECTION_OK) return std::nullopt;
        const int socket = PQsocket(connection_);
        if (socket < 0) return std::nullopt;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(static_cast<unsigned>(socket), &readable);
        timeval timeout{static_cast<long>(left.count() / 1000), static_cast<long>(left.count() % 1000 * 1000)};
        select(socket + 1, &readable, nullptr, nullptr, &timeout);
    }
}

bool PgConnection::Alive() const
{
    return PQstatus(connection_) == CONNECTION_OK;
}

int PgConnection::ServerVersion() const
{
    return PQserverVersion(connection_);
}

std::string PgConnection::User() const
{
    const char* user = PQuser(connection_);
    return user ? user : "";
}

}  // namespace platform
