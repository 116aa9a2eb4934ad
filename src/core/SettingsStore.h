#pragma once

#include "core/TextUtils.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace arvelo {

enum class TValueType { String, Integer, Binary };

struct TSettingValue {
    std::string name;
    TValueType type = TValueType::String;
    std::string text;      // String
    int32_t integer = 0;   // Integer
    std::string bytes;     // Binary

    static TSettingValue OfString(std::string name, std::string text);
    static TSettingValue OfInteger(std::string name, int32_t value);
    static TSettingValue OfBinary(std::string name, std::string bytes);
    bool operator==(const TSettingValue &) const = default;
};

// What a parse of registry text found unreadable.
struct TRegParseReport {
    int badLines = 0;
    int firstBadLine = 0; // 1-based, 0 when none
    bool missingHeader = false;
    bool Damaged() const { return badLines > 0 || missingHeader; }
    std::string Describe(const std::string &fileName) const;
};

// A hierarchical, typed key/value store kept in memory and saved as REGEDIT4
// text. Key paths start with a root ("HKEY_CURRENT_USER\Software\..."), are
// separated by backslashes and compared ignoring letter case, as are value
// names. Values keep the order in which they were first written. All members
// are safe to call from any thread.
class TSettingsStore {
public:
    // An empty file name keeps the store in memory only.
    explicit TSettingsStore(std::string fileName = {});

    const std::string &FileName() const { return fileName_; }
    // Reads the file (a missing file is an empty store). Damage is returned, and
    // the damaged file is kept beside it as "<name>.damaged" before it is
    // ever written over.
    TRegParseReport Load();
    // Merges registry text (REGEDIT4 or version 5 export) into the store and
    // saves once. The report says what could not be read.
    TRegParseReport Import(std::string_view regText);
    TRegParseReport ImportFile(const std::string &fileName, bool *readable = nullptr);
    std::string ExportText() const;
    // Writes the file atomically; false (and the reason) when it could not.
    bool Save(std::string *error = nullptr) const;

    bool KeyExists(std::string_view key) const;
    std::optional<TSettingValue> Value(std::string_view key, std::string_view name) const;
    std::vector<TSettingValue> Values(std::string_view key) const;
    // Stores the value, creating the key and its parents, and saves.
    void SetValue(std::string_view key, TSettingValue value);
    void CreateKey(std::string_view key);
    bool DeleteValue(std::string_view key, std::string_view name);
    // Deletes the key with its sub-keys.
    void DeleteKey(std::string_view key);
    // Removes every value of the key, keeping the key.
    void ClearValues(std::string_view key);
    // Gives the key exactly these values, in this order, with one save.
    void ReplaceValues(std::string_view key, std::vector<TSettingValue> values);

    static std::string NormalizeKey(std::string_view key);
    // Changes whenever any store's content changes (or another store is
    // loaded), so that readers can keep derived data until then.
    static uint64_t Generation();

private:
    struct Key {
        std::string path;
        std::vector<TSettingValue> values;
    };

    Key *FindKey(std::string_view normalized);
    const Key *FindKey(std::string_view normalized) const;
    Key &EnsureKey(const std::string &normalized);
    void EraseKeyTree(const std::string &normalized);
    void Store(Key &key, TSettingValue value);
    void ReindexKeys();
    TRegParseReport Parse(std::string_view text);
    void SaveOrReport() const;
    static void Changed();

    std::string fileName_;
    mutable std::recursive_mutex mutex_;
    std::vector<Key> keys_;
    std::unordered_map<std::string, size_t> index_; // upper-cased path -> keys_ index
    mutable bool saveFailureReported_ = false;
};

} // namespace arvelo
