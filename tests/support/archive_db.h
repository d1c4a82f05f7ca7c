// A database of a test's own on the archive tests' server (tests/archive/test_server.sh
// starts it; the target names its record in KEL_ARCHIVE_SERVER_RECORD), made from the
// migrated template, with login roles that end with it.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/pg.h"

namespace kel_test {

// The running test server's connection string (to its "postgres" database).
inline std::string ServerConnection()
{
    std::ifstream record(KEL_ARCHIVE_SERVER_RECORD);
    std::string folder;
    std::getline(record, folder);
    std::ifstream connection(folder + "/connection");
    std::string text;
    std::getline(connection, text);
    return text;
}

inline std::unique_ptr<platform::PgConnection> Open(const std::string& connection)
{
    std::string error;
    auto db = platform::PgConnection::Open(connection, error);
    EXPECT_TRUE(db) << error;
    return db;
}

// A database of this test's own, and login roles that end with it.
class ArchiveDb {
public:
    ArchiveDb() : server_(ServerConnection()), name_("kel_t" + std::to_string(getpid()) + "_" + std::to_string(count_++))
    {
        admin_ = Open(server_);
        if (!admin_) return;
        const auto made = admin_->Script("CREATE DATABASE " + name_ + " TEMPLATE kel_template");
        EXPECT_TRUE(made.Ok()) << made.Error();
    }
    ~ArchiveDb()
    {
        if (!admin_) return;
        admin_->Script("DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
        for (const std::string& role : roles_) admin_->Script("DROP ROLE IF EXISTS " + role);
    }
    // Connected as `user` (the server's superuser by default).
    std::string As(const std::string& user = "postgres") const
    {
        return server_ + " dbname=" + name_ + " user=" + user;
    }
    // A login role made for this test: "NAME_<pid>".
    std::string Role(const std::string& name)
    {
        const std::string role = name + "_" + std::to_string(getpid()) + "_" + std::to_string(count_);
        const auto made = admin_->Script("CREATE ROLE " + role + " LOGIN");
        EXPECT_TRUE(made.Ok()) << made.Error();
        roles_.push_back(role);
        return role;
    }

private:
    static inline int count_ = 0;
    std::string server_;
    std::string name_;
    std::unique_ptr<platform::PgConnection> admin_;
    std::vector<std::string> roles_;
};

}  // namespace kel_test
