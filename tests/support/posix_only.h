// What the tests need of the system beyond the standard library, the same on Linux and Windows,
// and a skip with the reason for cases that need what only POSIX has.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Skips a case that needs `facility` (fork, FIFOs, sockets, resource limits ...) on Windows.
#ifdef _WIN32
#define KEL_POSIX_ONLY(facility) GTEST_SKIP() << "needs " facility ", which Windows does not have"
#else
#define KEL_POSIX_ONLY(facility) static_cast<void>(0)
#endif

namespace kel_test {

inline void SetEnvironment(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnvironment(const char* name)
{
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

}  // namespace kel_test

// Skips, on Windows, a case that reads a workbook back with Linux's python3 readers: under Wine
// scripts/test_windows.sh checks the Windows program's workbooks from the Linux side instead.
#ifdef _WIN32
#define KEL_LINUX_READERS_ONLY() \
    GTEST_SKIP() << "reads workbooks with Linux's python3; test_windows.sh checks them from the Linux side"
#else
#define KEL_LINUX_READERS_ONLY() static_cast<void>(0)
#endif
