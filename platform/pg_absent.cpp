// The PostgreSQL client of a build without libpq (the Windows build: Debian has no libpq for
// mingw-w64). Every connection fails with the reason, so the team archive's commands say so
// and exit as for a server that cannot be reached; everything else works as before.
#include "platform/pg.h"

namespace platform {

namespace {
constexpr const char* kNoClient = "this build of the program has no PostgreSQL client: the team archive is not available";
}

PgResult::PgResult() = default;
PgResult::PgResult(pg_result*, std::string connectionError) : connectionError_(std::move(connectionError)) {}
PgResult::~PgResult() = default;
PgResult::PgResult(PgResult&&) noexcept = default;
PgResult& PgResult::operator=(PgResult&&) noexcept = default;

bool PgResult::Ok() const { return false; }
std::string PgResult::Error() const { return connectionError_.empty() ? kNoClient : connectionError_; }
std::string PgResult::SqlState() const { return {}; }
int PgResult::Rows() const { return 0; }
bool PgResult::IsNull(int, int) const { return true; }
std::string PgResult::Text(int, int) const { return {}; }
long long PgResult::Integer(int, int) const { return 0; }
std::optional<double> PgResult::Number(int, int) const { return std::nullopt; }
bool PgResult::Bool(int, int) const { return false; }
std::vector<unsigned char> PgResult::Bytes(int, int) const { return {}; }
long long PgResult::Affected() const { return 0; }

std::unique_ptr<PgConnection> PgConnection::Open(const std::string&, std::string& error)
{
    error = kNoClient;
    return nullptr;
}

// No connection is ever made: these are here for the linker only.
PgConnection::~PgConnection() = default;
PgResult PgConnection::Exec(const std::string&, const std::vector<PgParam>&) { return PgResult(nullptr, kNoClient); }
PgResult PgConnection::Script(const std::string&) { return PgResult(nullptr, kNoClient); }
PgResult PgConnection::CopyIn(const std::string&, const std::string&) { return PgResult(nullptr, kNoClient); }
std::optional<PgNotification> PgConnection::NextNotification(int) { return std::nullopt; }
bool PgConnection::Alive() const { return false; }
int PgConnection::ServerVersion() const { return 0; }
std::string PgConnection::User() const { return {}; }

}  // namespace platform
