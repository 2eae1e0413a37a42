#pragma once
// Where the application's own files live. The settings file is the executable's path with the
// extension ".INI" and the configuration files sit beside the executable, as long as the
// executable's folder can be written (a portable copy, every existing installation). When it
// cannot (a system-wide install, a read-only share) they go to the user's own folders:
// $XDG_CONFIG_HOME/vextor-config/vextor-config.INI and $XDG_DATA_HOME/vextor-config/, by default
// ~/.config and ~/.local/share, created on first use. Help files always sit beside the
// executable. Tests point the folder elsewhere and decide whether it is writable.
#include <filesystem>
#include <functional>

// The running executable (from /proc/self/exe), unless overridden.
std::filesystem::path ExecutablePath();
// The executable's folder.
std::filesystem::path ExecutableFolder();
// Whether the executable's folder can be written (access(W_OK), unless overridden).
bool ExecutableFolderWritable();
// The settings file: beside the executable with the extension ".INI" (vextor-config ->
// vextor-config.INI) when its folder is writable, else the per-user one. A per-user settings file
// that does not exist yet starts as a copy of the one beside the executable, if there is one.
std::filesystem::path SettingsFilePath();
// The folder the configuration files are saved in: the executable's folder when writable, else
// the per-user data folder.
std::filesystem::path ConfigFolder();
// The per-user data folder: $XDG_DATA_HOME/vextor-config when XDG_DATA_HOME holds an absolute
// path, else ~/.local/share/vextor-config. Not created here.
std::filesystem::path UserDataFolder();

// Makes ExecutablePath() return the given path (empty restores the real one).
void SetExecutablePathOverride(const std::filesystem::path& path);
// Replaces the writability check of the executable's folder (empty restores the real one).
void SetFolderWritableOverride(std::function<bool(const std::filesystem::path&)> writable);
