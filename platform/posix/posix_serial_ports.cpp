// The serial devices present on Linux, from sysfs and /dev.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/serial_port.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// "ttyUSB12" -> ("ttyUSB", 12); -1 when the name does not end in a number.
std::pair<std::string, int> Split(const std::string& name)
{
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    if (digits == name.size() || name.size() - digits > 6) return {name, -1};
    return {name.substr(0, digits), std::stoi(name.substr(digits))};
}

// The COMn of the fixed map: COM1-32 ttyS0-31, COM33-64 ttyUSB0-31, COM65-96 ttyACM0-31.
int FixedPort(const std::string& name)
{
    const auto [kind, number] = Split(name);
    if (number < 0 || number > 31) return 0;
    if (kind == "ttyS") return 1 + number;
    if (kind == "ttyUSB") return 33 + number;
    if (kind == "ttyACM") return 65 + number;
    return 0;
}

// Whether this user may open the device, and the group that owns it.
void Access(SerialDeviceInfo& info)
{
    info.accessible = ::access(info.device.c_str(), R_OK | W_OK) == 0;
    info.group.clear();
    struct stat status {};
    if (::stat(info.device.c_str(), &status) == 0) {
        const group* owner = ::getgrgid(status.st_gid);
        info.group = owner ? owner->gr_name : std::to_string(status.st_gid);
    }
}

}  // namespace

std::vector<SerialDeviceInfo> ListSerialPorts(const std::string& sysRoot, const std::string& devRoot)
{
    std::vector<SerialDeviceInfo> devices;
    std::error_code error;
    const fs::path classTty = fs::path(sysRoot) / "class" / "tty";
    std::vector<std::string> names;
    for (fs::directory_iterator it(classTty, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const auto [kindA, numberA] = Split(a);
        const auto [kindB, numberB] = Split(b);
        return kindA != kindB ? kindA < kindB : numberA < numberB;
    });

    // The stable names, by the device they lead to.
    std::vector<std::pair<fs::path, std::string>> byIds;
    const fs::path byIdFolder = fs::path(devRoot) / "serial" / "by-id";
    for (fs::directory_iterator it(byIdFolder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        byIds.emplace_back(fs::canonical(it->path(), ignored), it->path().string());
    }
    error.clear();

    for (const std::string& name : names) {
        const std::string kind = Split(name).first;
        if (kind != "ttyS" && kind != "ttyUSB" && kind != "ttyACM") continue;
        const fs::path entry = classTty / name;
        std::error_code ignored;
        // Only a device with hardware behind it has a device link; an on-board
        // port also needs a UART of a known type.
        if (!fs::exists(entry / "device", ignored)) continue;
        if (kind == "ttyS") {
            const std::string type = FirstLine(entry / "type");
            if (type.empty() || type == "0") continue;
        }
        SerialDeviceInfo info;
        info.device = (fs::path(devRoot) / name).string();
        const fs::path device = fs::canonical(info.device, ignored);
        for (const auto& [target, link] : byIds)
            if (!device.empty() && target == device) info.byId = link;
        // The USB device is the first folder above the interface that names a vendor.
        for (fs::path up = fs::canonical(entry / "device", ignored); !up.empty() && up != up.root_path();
             up = up.parent_path()) {
            if (!fs::exists(up / "idVendor", ignored)) continue;
            info.vendorId = FirstLine(up / "idVendor");
            info.productId = FirstLine(up / "idProduct");
            info.manufacturer = FirstLine(up / "manufacturer");
            info.product = FirstLine(up / "product");
            info.serialNumber = FirstLine(up / "serial");
            break;
        }
        info.comPort = FixedPort(name);
        Access(info);
        devices.push_back(std::move(info));
    }

    // COMn opens the user's alias where there is one: each alias first, as the
    // device it leads to; a fixed COMn that an alias takes elsewhere is no longer the device's.
    std::vector<SerialDeviceInfo> listed;
    std::vector<bool> reached(devices.size(), false);
    std::vector<bool> aliased(101, false);
    for (int port = 1; port <= 100; ++port) {
        const std::string alias = PortAliasPath(port);
        std::error_code ignored;
        if (alias.empty() || !fs::exists(fs::symlink_status(alias, ignored))) continue;
        aliased[static_cast<std::size_t>(port)] = true;
        const fs::path target = fs::canonical(alias, ignored);
        SerialDeviceInfo info;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (!target.empty() && fs::canonical(devices[i].device, ignored) == target && !reached[i]) {
                info = devices[i];
                reached[i] = true;
                break;
            }
        }
        info.device = target.empty() ? fs::read_symlink(alias, ignored).string() : target.string();
        info.comPort = port;
        info.alias = true;
        Access(info);
        listed.push_back(std::move(info));
    }
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (reached[i]) continue;
        if (devices[i].comPort > 0 && aliased[static_cast<std::size_t>(devices[i].comPort)]) devices[i].comPort = 0;
        listed.push_back(std::move(devices[i]));
    }
    return listed;
}

}  // namespace platform
