#include "link/PortNames.h"

#include "platform/IniFile.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>
#include <utility>

namespace {

// The number after `prefix` in a device name made of the prefix and decimal digits only.
std::optional<unsigned> DeviceNumber(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return n;
}

// The entries of `dir` named prefix + number, in numeric order.
std::vector<std::pair<unsigned, std::string>> NumberedEntries(const std::filesystem::path& dir,
                                                              std::string_view prefix) {
    std::vector<std::pair<unsigned, std::string>> found;
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (const auto n = DeviceNumber(name, prefix))
            found.emplace_back(*n, name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A ttyS line with a UART behind it: sysfs shows a device for it, and its `type` attribute (the
// UART type of the serial core) is not 0, "unknown". A tty of another driver has no `type`; a
// device link is enough for it.
bool HasRealUart(const std::filesystem::path& sysTtyDir, const std::string& name) {
    std::error_code ec;
    const std::filesystem::path dir = sysTtyDir / name;
    if (!std::filesystem::exists(dir / "device", ec))
        return false;
    std::ifstream type(dir / "type");
    if (!type)
        return true;
    long value = 0;
    if (!(type >> value))
        return false;
    return value != 0;
}

} // namespace

std::optional<int> ComPortNumber(std::string_view name) {
    if (name.size() < 4)
        return std::nullopt;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M' || name[3] == '0')
        return std::nullopt;
    const std::optional<unsigned> n = DeviceNumber(name.substr(3), "");
    if (!n || *n < 1 || *n > 255)
        return std::nullopt;
    return static_cast<int>(*n);
}

std::vector<std::string> ListSerialDevices(const PortNameContext& context) {
    std::vector<std::string> devices;
    for (std::string_view prefix : {"ttyUSB", "ttyACM"})
        for (const auto& entry : NumberedEntries(context.DeviceDir, prefix))
            devices.push_back((context.DeviceDir / entry.second).string());
    for (const auto& entry : NumberedEntries(context.DeviceDir, "ttyS"))
        if (HasRealUart(context.SysTtyDir, entry.second))
            devices.push_back((context.DeviceDir / entry.second).string());
    return devices;
}

std::string ResolvePortDevice(std::string_view name, const PortNameContext& context) {
    const std::optional<int> n = ComPortNumber(name);
    if (!n)
        return std::string(name);
    const std::string key = "COM" + std::to_string(*n);
    if (!context.SettingsFile.empty()) {
        std::string mapped = std::string(
            IniText::TrimBlanks(IniFile(context.SettingsFile).ReadString(PortsSection, key, "")));
        if (!mapped.empty())
            return mapped;
    }
    std::vector<std::string> devices = ListSerialDevices(context);
    if (static_cast<size_t>(*n) > devices.size())
        return {};
    return std::move(devices[static_cast<size_t>(*n) - 1]);
}
