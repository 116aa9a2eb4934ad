#include "core/Settings.h"

#include "core/AppPaths.h"
#include "core/Notifier.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace arvelo {
namespace {

std::mutex storeMutex;
std::unique_ptr<TSettingsStore> store;

[[noreturn]] void InvalidType(const std::string &name)
{
    throw ESettingError("Invalid data type for '" + name + "'");
}

std::optional<TSettingValue> Find(const std::string &root, const std::string &key, const std::string &name)
{
    return Settings().Value(KeyAt(root, key), name);
}

std::string ReadStringAt(const std::string &root, const std::string &key, const std::string &name,
                         const std::string &fallback)
{
    auto value = Find(root, key, name);
    if (!value)
        return fallback;
    if (value->type != TValueType::String)
        InvalidType(name);
    return value->text;
}

int32_t ReadIntegerAt(const std::string &root, const std::string &key, const std::string &name,
                      int32_t fallback)
{
    auto value = Find(root, key, name);
    if (!value)
        return fallback;
    if (value->type != TValueType::Integer)
        InvalidType(name);
    return value->integer;
}

double ReadFloatAt(const std::string &root, const std::string &key, const std::string &name, double fallback)
{
    auto value = Find(root, key, name);
    if (!value)
        return fallback;
    if (value->type != TValueType::Binary || value->bytes.size() != sizeof(double))
        InvalidType(name);
    double number = 0;
    std::memcpy(&number, value->bytes.data(), sizeof number);
    return number;
}

void Write(const std::string &key, TSettingValue value)
{
    Settings().SetValue(KeyAt(kCurrentUser, key), std::move(value));
}

} // namespace

std::string KeyAt(const std::string &root, const std::string &key)
{
    return root + "\\" + TSettingsStore::NormalizeKey(key);
}

TSettingsStore &Settings()
{
    std::lock_guard lock(storeMutex);
    if (!store) {
        store = std::make_unique<TSettingsStore>(SettingsFilePath());
        TRegParseReport report = store->Load();
        if (report.Damaged())
            Notifier().Error(report.Describe(store->FileName()));
    }
    return *store;
}

void ReloadSettings()
{
    std::lock_guard lock(storeMutex);
    store.reset();
}

std::string ReadSetting(const std::string &key, const std::string &name, const std::string &fallback)
{
    return ReadStringAt(kCurrentUser, key, name, fallback);
}

std::string ReadSetting(const std::string &key, const std::string &name, const char *fallback)
{
    return ReadStringAt(kCurrentUser, key, name, fallback);
}

int32_t ReadSetting(const std::string &key, const std::string &name, int32_t fallback)
{
    return ReadIntegerAt(kCurrentUser, key, name, fallback);
}

bool ReadSetting(const std::string &key, const std::string &name, bool fallback)
{
    return ReadIntegerAt(kCurrentUser, key, name, fallback ? 1 : 0) != 0;
}

double ReadSetting(const std::string &key, const std::string &name, double fallback)
{
    return ReadFloatAt(kCurrentUser, key, name, fallback);
}

TDateTime ReadSetting(const std::string &key, const std::string &name, TDateTime fallback)
{
    return TDateTime(ReadFloatAt(kCurrentUser, key, name, fallback.Days()));
}

template <>
std::string ReadSettingAt(const std::string &root, const std::string &key, const std::string &name,
                          const std::string &fallback)
{
    return ReadStringAt(root, key, name, fallback);
}

template <>
int32_t ReadSettingAt(const std::string &root, const std::string &key, const std::string &name,
                      const int32_t &fallback)
{
    return ReadIntegerAt(root, key, name, fallback);
}

template <>
bool ReadSettingAt(const std::string &root, const std::string &key, const std::string &name,
                   const bool &fallback)
{
    return ReadIntegerAt(root, key, name, fallback ? 1 : 0) != 0;
}

bool ReadBinaryFlag(const std::string &key, const std::string &name, bool fallback)
{
    auto value = Find(kCurrentUser, key, name);
    if (!value)
        return fallback;
    if (value->type != TValueType::Binary)
        InvalidType(name);
    return !value->bytes.empty() && value->bytes[0] != 0;
}

void WriteSetting(const std::string &key, const std::string &name, const std::string &value)
{
    Write(key, TSettingValue::OfString(name, value));
}

void WriteSetting(const std::string &key, const std::string &name, const char *value)
{
    Write(key, TSettingValue::OfString(name, value));
}

void WriteSetting(const std::string &key, const std::string &name, int32_t value)
{
    Write(key, TSettingValue::OfInteger(name, value));
}

void WriteSetting(const std::string &key, const std::string &name, bool value)
{
    Write(key, TSettingValue::OfInteger(name, value ? 1 : 0));
}

void WriteSetting(const std::string &key, const std::string &name, double value)
{
    std::string bytes(sizeof value, '\0');
    std::memcpy(bytes.data(), &value, sizeof value);
    Write(key, TSettingValue::OfBinary(name, bytes));
}

void WriteSetting(const std::string &key, const std::string &name, TDateTime value)
{
    WriteSetting(key, name, value.Days());
}

void WriteBinarySetting(const std::string &key, const std::string &name, const std::string &bytes)
{
    Write(key, TSettingValue::OfBinary(name, bytes));
}

bool SettingExists(const std::string &key, const std::string &name)
{
    return Find(kCurrentUser, key, name).has_value();
}

bool DeleteSetting(const std::string &key, const std::string &name)
{
    return Settings().DeleteValue(KeyAt(kCurrentUser, key), name);
}

StringList ValueNames(const std::string &key)
{
    StringList names;
    for (const TSettingValue &value : Settings().Values(KeyAt(kCurrentUser, key)))
        names.push_back(value.name);
    return names;
}

StringList ValueStrings(const std::string &key)
{
    StringList texts;
    for (const TSettingValue &value : Settings().Values(KeyAt(kCurrentUser, key)))
        texts.push_back(value.type == TValueType::String    ? value.text
                        : value.type == TValueType::Integer ? std::to_string(value.integer)
                                                            : std::string());
    return texts;
}

void SaveSettingList(const std::string &key, const StringList &entries)
{
    std::vector<TSettingValue> values;
    for (size_t i = 0; i < entries.size(); ++i)
        values.push_back(TSettingValue::OfString("F" + std::to_string(i), entries[i]));
    Settings().ReplaceValues(KeyAt(kCurrentUser, key), std::move(values));
}

StringList LoadSettingList(const std::string &key)
{
    StringList entries;
    for (const TSettingValue &value : Settings().Values(KeyAt(kCurrentUser, key)))
        if (value.type == TValueType::String)
            entries.push_back(value.text);
    return entries;
}

} // namespace arvelo
