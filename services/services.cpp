#include "services/services.h"
#include "platform/names.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace platform {

std::uint32_t Services::GetTickCount() const
{
    if (tickSource) return tickSource();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Services::SleepMs(int ms) const
{
    if (sleeper) return sleeper(ms);
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Services::PumpEvents(int maxEvents) const
{
    if (eventPump) eventPump(maxEvents);
}

void Services::ShowWaitCursor(bool on) const
{
    if (waitCursor) waitCursor(on);
}

MessagePresenter& Services::Messages() const
{
    return presenter ? *presenter : stderrPresenter_;
}

SettingsStore& Services::Settings() const
{
    return settings ? *settings : nullStore_;
}

bool Services::BrowseForFolder(const std::string& title, const std::string& startFolder, std::string& folder) const
{
    return folderChooser && folderChooser(title, startFolder, folder);
}

void GetCurrentFolder(std::string& folder)
{
    std::error_code error;
    folder = platform::NameOf(std::filesystem::current_path(error));
    if (error) folder.clear();
}

}  // namespace platform
