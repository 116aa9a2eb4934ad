#pragma once

#include "core/DateTime.h"
#include "core/SettingsStore.h"

#include <cstdint>
#include <stdexcept>
#include <string>

// Typed access to the per-user settings store. Keys are paths below
// HKEY_CURRENT_USER ("\Software\Lindqvarn\Arvelo\Settings") unless a root is
// given; reads never create keys.
namespace arvelo {

inline constexpr const char *kRootKey = "\\Software\\Lindqvarn\\Arvelo";
inline constexpr const char *kSettingsKey = "\\Software\\Lindqvarn\\Arvelo\\Settings";
inline constexpr const char *kFileTypesKey = "\\Software\\Lindqvarn\\Arvelo\\File Types";
inline constexpr const char *kCurrentUser = "HKEY_CURRENT_USER";
inline constexpr const char *kLocalMachine = "HKEY_LOCAL_MACHINE";

// A value read as another type than the one it is stored with.
class ESettingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The store of this user, loaded from SettingsFilePath() on first use; damage
// found in the file is reported once through the notifier.
TSettingsStore &Settings();
// Drops the loaded store so that the next use reads the file again (after
// ARVELO_HOME changed).
void ReloadSettings();

std::string ReadSetting(const std::string &key, const std::string &name, const std::string &fallback);
std::string ReadSetting(const std::string &key, const std::string &name, const char *fallback);
int32_t ReadSetting(const std::string &key, const std::string &name, int32_t fallback);
bool ReadSetting(const std::string &key, const std::string &name, bool fallback);
double ReadSetting(const std::string &key, const std::string &name, double fallback);
TDateTime ReadSetting(const std::string &key, const std::string &name, TDateTime fallback);

template <typename T>
T ReadSettingAt(const std::string &root, const std::string &key, const std::string &name, const T &fallback);

bool ReadBinaryFlag(const std::string &key, const std::string &name, bool fallback);

void WriteSetting(const std::string &key, const std::string &name, const std::string &value);
void WriteSetting(const std::string &key, const std::string &name, const char *value);
void WriteSetting(const std::string &key, const std::string &name, int32_t value);
void WriteSetting(const std::string &key, const std::string &name, bool value);
void WriteSetting(const std::string &key, const std::string &name, double value);
void WriteSetting(const std::string &key, const std::string &name, TDateTime value);
void WriteBinarySetting(const std::string &key, const std::string &name, const std::string &bytes);

bool SettingExists(const std::string &key, const std::string &name);
bool DeleteSetting(const std::string &key, const std::string &name);
StringList ValueNames(const std::string &key);
StringList ValueStrings(const std::string &key);

// A list saved as the values "F0", "F1", ... of an emptied key, and read back
// in the stored order.
void SaveSettingList(const std::string &key, const StringList &entries);
StringList LoadSettingList(const std::string &key);

// The full store path of a key below a root.
std::string KeyAt(const std::string &root, const std::string &key);

} // namespace arvelo
