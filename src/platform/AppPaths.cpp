#include "platform/AppPaths.h"

#include <mutex>
#include <system_error>

namespace {
std::mutex g_mutex;
std::filesystem::path g_override;
} // namespace

std::filesystem::path ExecutablePath() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.empty())
            return g_override;
    }
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path("vextor-config") : p;
}

std::filesystem::path ExecutableFolder() { return ExecutablePath().parent_path(); }

std::filesystem::path SettingsFilePath() {
    auto p = ExecutablePath();
    p.replace_extension(".INI");
    return p;
}

void SetExecutablePathOverride(const std::filesystem::path& path) {
    std::lock_guard lock(g_mutex);
    g_override = path;
}
