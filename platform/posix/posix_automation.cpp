#include "platform/automation.h"

namespace platform {

// No automation servers on POSIX: the export uses its built-in workbook server.
std::shared_ptr<DispatchObject> CreateSystemDispatch(const std::string&)
{
    return nullptr;
}

}  // namespace platform
