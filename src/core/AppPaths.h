#pragma once

#include <string>

// Where the program keeps its files. ARVELO_HOME, when set, moves the data
// folder and the settings file together (every test sets it).
namespace arvelo {

// The per-user folder that holds Tasks/, Profiles/, Skins/, Downloads/ and the
// intranet, with a trailing "/".
std::string DataFolder();
// The settings store's file.
std::string SettingsFilePath();
// The read-only files shipped with the program (FTypes.reg, skins), with a trailing "/".
std::string ShippedDataFolder();
// The system's temporary folder, with a trailing "/".
std::string SystemTempFolder();

} // namespace arvelo
