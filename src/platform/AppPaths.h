#pragma once
// Where the application's own files live: the settings file is the executable's path with the
// extension ".INI"; configuration and help files sit beside the executable. Tests point the
// folder elsewhere.
#include <filesystem>

// The running executable (from /proc/self/exe), unless overridden.
std::filesystem::path ExecutablePath();
// The executable's folder.
std::filesystem::path ExecutableFolder();
// The executable's path with its extension replaced by ".INI" (vextor-config -> vextor-config.INI).
std::filesystem::path SettingsFilePath();

// Makes ExecutablePath() return the given path (empty restores the real one).
void SetExecutablePathOverride(const std::filesystem::path& path);
