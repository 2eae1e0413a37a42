#include "platform/AppPaths.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::mutex g_mutex;
fs::path g_override;
std::function<bool(const fs::path&)> g_writable;

constexpr const char* AppFolderName = "vextor-config";
constexpr const char* UserSettingsName = "vextor-config.INI";

// An XDG base folder: the variable when it holds an absolute path, else $HOME/<fallback>.
fs::path XdgFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value && *value == '/')
        return value;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / fallback;
}

// The per-user folder, created when missing (a failure shows when a file is written there).
fs::path UserFolder(const char* variable, const char* fallback) {
    fs::path folder = XdgFolder(variable, fallback) / AppFolderName;
    std::error_code ec;
    fs::create_directories(folder, ec);
    return folder;
}

fs::path SettingsBesideExecutable() {
    auto p = ExecutablePath();
    p.replace_extension(".INI");
    return p;
}
} // namespace

fs::path ExecutablePath() {
    {
        std::lock_guard lock(g_mutex);
        if (!g_override.empty())
            return g_override;
    }
    std::error_code ec;
    auto p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path("vextor-config") : p;
}

fs::path ExecutableFolder() {
    return ExecutablePath().parent_path();
}

bool ExecutableFolderWritable() {
    const fs::path folder = ExecutableFolder();
    {
        std::lock_guard lock(g_mutex);
        if (g_writable)
            return g_writable(folder);
    }
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
}

fs::path SettingsFilePath() {
    if (ExecutableFolderWritable())
        return SettingsBesideExecutable();
    const fs::path file = UserFolder("XDG_CONFIG_HOME", ".config") / UserSettingsName;
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        // A system-wide install may come with its settings (port, password): they are the start.
        const fs::path shipped = SettingsBesideExecutable();
        if (fs::is_regular_file(shipped, ec))
            fs::copy_file(shipped, file, ec);
    }
    return file;
}

fs::path ConfigFolder() {
    return ExecutableFolderWritable() ? ExecutableFolder()
                                      : UserFolder("XDG_DATA_HOME", ".local/share");
}

fs::path UserDataFolder() {
    return XdgFolder("XDG_DATA_HOME", ".local/share") / AppFolderName;
}

void SetExecutablePathOverride(const fs::path& path) {
    std::lock_guard lock(g_mutex);
    g_override = path;
}

void SetFolderWritableOverride(std::function<bool(const fs::path&)> writable) {
    std::lock_guard lock(g_mutex);
    g_writable = std::move(writable);
}
