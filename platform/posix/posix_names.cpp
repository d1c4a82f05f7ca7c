#include "platform/names.h"

namespace platform {

std::filesystem::path PathOf(const std::string& name)
{
    return std::filesystem::path(name);
}

std::string NameOf(const std::filesystem::path& path)
{
    return path.string();
}

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
