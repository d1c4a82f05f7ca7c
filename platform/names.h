// File names and paths are UTF-8 text inside the program on both systems: Linux's own bytes,
// and on Windows the system's wide names, converted at the edge by PathOf and NameOf (and used
// with the wide Win32 calls only). Texts inside test files are Latin-1 and never pass through here.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// The name as UTF-8 text; bytes that are no UTF-8 become U+FFFD (Linux names may be any bytes).
std::string NameToUtf8(const std::string& name);

// A name as the path the file system calls take, and a path back as a name. Every name that
// reaches std::filesystem or the system goes through these: on Windows a std::string handed to
// std::filesystem::path directly would be read in the ANSI code page.
std::filesystem::path PathOf(const std::string& name);
std::string NameOf(const std::filesystem::path& path);

// The program's arguments as UTF-8 text: argv on Linux; on Windows the wide command line
// (argv there is in the ANSI code page, which cannot hold every name). On Windows the console
// is also set to show UTF-8, which is what the program prints.
std::vector<std::string> ProgramArguments(int argc, char** argv);

}  // namespace platform
