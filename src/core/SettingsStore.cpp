#include "core/SettingsStore.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"
#include "core/Utf8.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace arvelo {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char *kRoots[] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT",
                                  "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

std::string UpperKey(std::string_view text) { return utf8::ToUpper(text); }

bool ValidRoot(std::string_view normalized)
{
    std::string root = UpperKey(normalized.substr(0, normalized.find('\\')));
    return std::any_of(std::begin(kRoots), std::end(kRoots), [&](const char *r) { return root == r; });
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "01,ab,ff" -> bytes; false on anything else.
bool ParseHexBytes(std::string_view text, std::string &bytes)
{
    bytes.clear();
    std::string digits;
    for (char c : text)
        if (c != ' ' && c != '\t')
            digits += c;
    if (digits.empty())
        return true;
    size_t pos = 0;
    for (;;) {
        if (pos + 2 > digits.size())
            return false;
        int hi = HexDigit(digits[pos]), lo = HexDigit(digits[pos + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes += static_cast<char>(hi * 16 + lo);
        pos += 2;
        if (pos == digits.size())
            return true;
        if (digits[pos] != ',')
            return false;
        ++pos;
    }
}

// Reads a quoted text at pos (which holds the opening quote), with \" and \\ escapes.
bool ParseQuoted(std::string_view line, size_t &pos, std::string &out)
{
    out.clear();
    if (pos >= line.size() || line[pos] != '"')
        return false;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '\\' && pos + 1 < line.size()) {
            char next = line[pos + 1];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
            ++pos;
        } else if (c == '"') {
            ++pos;
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

std::string Utf16LeToUtf8(std::string_view bytes)
{
    std::string out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = static_cast<unsigned char>(bytes[i]) |
                        (static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = static_cast<unsigned char>(bytes[i + 2]) |
                           (static_cast<char32_t>(static_cast<unsigned char>(bytes[i + 3])) << 8);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            unit = 0xFFFD;
        utf8::Append(out, unit);
    }
    return out;
}

std::string StripTrailingNuls(std::string text)
{
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

bool NeedsHexForm(std::string_view text)
{
    return !utf8::IsValid(text) ||
           std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 32; });
}

std::string Quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string HexBytes(std::string_view prefix, std::string_view bytes)
{
    std::string out(prefix);
    size_t lineLength = out.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buffer;
        lineLength += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++lineLength;
            if (lineLength > 74) {
                out += "\\\n  ";
                lineLength = 2;
            }
        }
    }
    return out;
}

std::atomic<uint64_t> generation{1};

} // namespace

uint64_t TSettingsStore::Generation() { return generation.load(); }

void TSettingsStore::Changed() { generation.fetch_add(1); }

TSettingValue TSettingValue::OfString(std::string name, std::string text)
{
    TSettingValue value;
    value.name = std::move(name);
    value.type = TValueType::String;
    value.text = std::move(text);
    return value;
}

TSettingValue TSettingValue::OfInteger(std::string name, int32_t integer)
{
    TSettingValue value;
    value.name = std::move(name);
    value.type = TValueType::Integer;
    value.integer = integer;
    return value;
}

TSettingValue TSettingValue::OfBinary(std::string name, std::string bytes)
{
    TSettingValue value;
    value.name = std::move(name);
    value.type = TValueType::Binary;
    value.bytes = std::move(bytes);
    return value;
}

std::string TRegParseReport::Describe(const std::string &fileName) const
{
    std::string text = "The settings file \"" + fileName + "\" is damaged";
    if (badLines > 0)
        text += ": " + std::to_string(badLines) + " line(s) could not be read, the first at line " +
                std::to_string(firstBadLine);
    else
        text += ": it does not begin with \"REGEDIT4\"";
    return text + ". Every value that could be read was kept.";
}

TSettingsStore::TSettingsStore(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TSettingsStore::NormalizeKey(std::string_view key)
{
    std::string out;
    for (char c : key) {
        if (c == '\\' && (out.empty() || out.back() == '\\'))
            continue;
        out += c;
    }
    if (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

TSettingsStore::Key *TSettingsStore::FindKey(std::string_view normalized)
{
    auto it = index_.find(UpperKey(normalized));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

const TSettingsStore::Key *TSettingsStore::FindKey(std::string_view normalized) const
{
    auto it = index_.find(UpperKey(normalized));
    return it == index_.end() ? nullptr : &keys_[it->second];
}

TSettingsStore::Key &TSettingsStore::EnsureKey(const std::string &normalized)
{
    // Parents first, so that the file lists them in a natural order.
    for (size_t slash = normalized.find('\\'); slash != std::string::npos;
         slash = normalized.find('\\', slash + 1)) {
        std::string parent = normalized.substr(0, slash);
        if (!FindKey(parent)) {
            index_.emplace(UpperKey(parent), keys_.size());
            keys_.push_back(Key{parent, {}});
        }
    }
    if (Key *key = FindKey(normalized))
        return *key;
    index_.emplace(UpperKey(normalized), keys_.size());
    keys_.push_back(Key{normalized, {}});
    return keys_.back();
}

void TSettingsStore::ReindexKeys()
{
    index_.clear();
    for (size_t i = 0; i < keys_.size(); ++i)
        index_.emplace(UpperKey(keys_[i].path), i);
}

void TSettingsStore::EraseKeyTree(const std::string &normalized)
{
    std::string upper = UpperKey(normalized);
    std::string prefix = upper + "\\";
    auto removed = std::remove_if(keys_.begin(), keys_.end(), [&](const Key &key) {
        std::string path = UpperKey(key.path);
        return path == upper || path.compare(0, prefix.size(), prefix) == 0;
    });
    if (removed != keys_.end()) {
        keys_.erase(removed, keys_.end());
        ReindexKeys();
    }
}

void TSettingsStore::Store(Key &key, TSettingValue value)
{
    std::string upper = UpperKey(value.name);
    for (TSettingValue &existing : key.values) {
        if (UpperKey(existing.name) == upper) {
            value.name = existing.name;
            existing = std::move(value);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

bool TSettingsStore::KeyExists(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    return FindKey(NormalizeKey(key)) != nullptr;
}

std::optional<TSettingValue> TSettingsStore::Value(std::string_view key, std::string_view name) const
{
    std::lock_guard lock(mutex_);
    const Key *found = FindKey(NormalizeKey(key));
    if (!found)
        return std::nullopt;
    std::string upper = UpperKey(name);
    for (const TSettingValue &value : found->values)
        if (UpperKey(value.name) == upper)
            return value;
    return std::nullopt;
}

std::vector<TSettingValue> TSettingsStore::Values(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    const Key *found = FindKey(NormalizeKey(key));
    return found ? found->values : std::vector<TSettingValue>();
}

void TSettingsStore::SetValue(std::string_view key, TSettingValue value)
{
    std::lock_guard lock(mutex_);
    Store(EnsureKey(NormalizeKey(key)), std::move(value));
    SaveOrReport();
}

void TSettingsStore::CreateKey(std::string_view key)
{
    std::lock_guard lock(mutex_);
    std::string normalized = NormalizeKey(key);
    if (FindKey(normalized))
        return;
    EnsureKey(normalized);
    SaveOrReport();
}

bool TSettingsStore::DeleteValue(std::string_view key, std::string_view name)
{
    std::lock_guard lock(mutex_);
    Key *found = FindKey(NormalizeKey(key));
    if (!found)
        return false;
    std::string upper = UpperKey(name);
    auto it = std::find_if(found->values.begin(), found->values.end(),
                           [&](const TSettingValue &v) { return UpperKey(v.name) == upper; });
    if (it == found->values.end())
        return false;
    found->values.erase(it);
    SaveOrReport();
    return true;
}

void TSettingsStore::DeleteKey(std::string_view key)
{
    std::lock_guard lock(mutex_);
    EraseKeyTree(NormalizeKey(key));
    SaveOrReport();
}

void TSettingsStore::ClearValues(std::string_view key) { ReplaceValues(key, {}); }

void TSettingsStore::ReplaceValues(std::string_view key, std::vector<TSettingValue> values)
{
    std::lock_guard lock(mutex_);
    Key &found = EnsureKey(NormalizeKey(key));
    found.values.clear();
    for (TSettingValue &value : values)
        Store(found, std::move(value));
    SaveOrReport();
}

TRegParseReport TSettingsStore::Parse(std::string_view text)
{
    TRegParseReport report;
    auto bad = [&](int lineNumber) {
        if (report.badLines++ == 0)
            report.firstBadLine = lineNumber;
    };
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);

    bool sawHeader = false;
    bool version5 = false;
    Key *current = nullptr;
    bool inBadKey = false;
    size_t pos = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        // One logical line: physical lines joined where one ends in a backslash
        // after hex data.
        std::string line;
        int firstLine = lineNumber + 1;
        for (;;) {
            size_t end = text.find('\n', pos);
            std::string_view physical = text.substr(pos, end == std::string_view::npos ? end : end - pos);
            pos = end == std::string_view::npos ? text.size() : end + 1;
            ++lineNumber;
            if (!physical.empty() && physical.back() == '\r')
                physical.remove_suffix(1);
            std::string trimmed = line.empty() ? std::string(physical) : Trim(physical);
            line += trimmed;
            bool continued = !line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos;
            if (!continued || pos >= text.size()) {
                if (continued)
                    line.pop_back();
                break;
            }
            line.pop_back();
        }
        std::string stripped = Trim(line);
        if (stripped.empty() || stripped[0] == ';')
            continue;
        if (!sawHeader) {
            sawHeader = true;
            if (stripped == kHeader4)
                continue;
            if (stripped == kHeader5) {
                version5 = true;
                continue;
            }
            report.missingHeader = true;
        }
        if (stripped[0] == '[') {
            current = nullptr;
            inBadKey = false;
            if (stripped.back() != ']') {
                bad(firstLine);
                inBadKey = true;
                continue;
            }
            bool remove = stripped.size() > 1 && stripped[1] == '-';
            std::string path = NormalizeKey(stripped.substr(remove ? 2 : 1, stripped.size() - (remove ? 3 : 2)));
            if (path.empty() || !ValidRoot(path)) {
                bad(firstLine);
                inBadKey = true;
                continue;
            }
            if (remove)
                EraseKeyTree(path);
            else
                current = &EnsureKey(path);
            continue;
        }
        if (!current) {
            // Values of a key that could not be read go with it.
            if (!inBadKey)
                bad(firstLine);
            continue;
        }
        size_t at = 0;
        std::string name;
        if (stripped[0] == '@') {
            at = 1;
        } else if (!ParseQuoted(stripped, at, name)) {
            bad(firstLine);
            continue;
        }
        while (at < stripped.size() && stripped[at] == ' ')
            ++at;
        if (at >= stripped.size() || stripped[at] != '=') {
            bad(firstLine);
            continue;
        }
        std::string data = Trim(std::string_view(stripped).substr(at + 1));
        TSettingValue value;
        value.name = name;
        bool ok = true;
        if (data == "-") {
            std::string upper = UpperKey(name);
            std::erase_if(current->values, [&](const TSettingValue &v) { return UpperKey(v.name) == upper; });
            continue;
        } else if (!data.empty() && data[0] == '"') {
            size_t q = 0;
            value.type = TValueType::String;
            ok = ParseQuoted(data, q, value.text) && Trim(std::string_view(data).substr(q)).empty();
        } else if (data.compare(0, 6, "dword:") == 0) {
            std::string digits = data.substr(6);
            ok = !digits.empty() && digits.size() <= 8 &&
                 std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; });
            value.type = TValueType::Integer;
            if (ok)
                value.integer = static_cast<int32_t>(std::stoul(digits, nullptr, 16));
        } else if (data.compare(0, 4, "hex:") == 0 || data.compare(0, 4, "hex(") == 0) {
            int kind = 3;
            size_t colon = data.find(':');
            if (data[3] == '(') {
                size_t close = data.find(')');
                ok = close != std::string::npos && close + 1 == colon && close > 4 && close - 4 <= 8;
                if (ok) {
                    std::string digits = data.substr(4, close - 4);
                    ok = std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; });
                    if (ok)
                        kind = static_cast<int>(std::stoul(digits, nullptr, 16));
                }
            }
            std::string bytes;
            ok = ok && ParseHexBytes(std::string_view(data).substr(colon + 1), bytes);
            if (ok && (kind == 1 || kind == 2)) {
                value.type = TValueType::String;
                value.text = StripTrailingNuls(version5 ? Utf16LeToUtf8(bytes) : bytes);
            } else if (ok && kind == 4 && bytes.size() == 4) {
                value.type = TValueType::Integer;
                uint32_t number = 0;
                for (int i = 3; i >= 0; --i)
                    number = (number << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
                value.integer = static_cast<int32_t>(number);
            } else {
                value.type = TValueType::Binary;
                value.bytes = bytes;
            }
        } else {
            ok = false;
        }
        if (ok)
            Store(*current, std::move(value));
        else
            bad(firstLine);
    }
    if (!sawHeader && !text.empty() && Trim(text).size() > 0)
        report.missingHeader = true;
    return report;
}

TRegParseReport TSettingsStore::Load()
{
    std::lock_guard lock(mutex_);
    Changed();
    keys_.clear();
    index_.clear();
    if (fileName_.empty() || !FileExists(fileName_))
        return {};
    bool ok = false;
    std::string bytes = ReadFileBytes(fileName_, &ok);
    TRegParseReport report;
    if (!ok) {
        report.badLines = 1;
        report.firstBadLine = 1;
        return report;
    }
    report = Parse(bytes);
    if (report.Damaged())
        CopyFileForce(fileName_, fileName_ + ".damaged");
    return report;
}

TRegParseReport TSettingsStore::Import(std::string_view regText)
{
    std::lock_guard lock(mutex_);
    TRegParseReport report = Parse(regText);
    SaveOrReport();
    return report;
}

TRegParseReport TSettingsStore::ImportFile(const std::string &fileName, bool *readable)
{
    bool ok = false;
    std::string bytes = ReadFileBytes(fileName, &ok);
    if (readable)
        *readable = ok;
    if (!ok)
        return {};
    return Import(bytes);
}

std::string TSettingsStore::ExportText() const
{
    std::lock_guard lock(mutex_);
    std::string out = std::string(kHeader4) + "\n";
    auto hasSubKeys = [&](const Key &key) {
        std::string prefix = UpperKey(key.path) + "\\";
        return std::any_of(keys_.begin(), keys_.end(),
                           [&](const Key &other) { return UpperKey(other.path).compare(0, prefix.size(), prefix) == 0; });
    };
    for (const Key &key : keys_) {
        // Parents without values of their own are implied by their sub-keys.
        if (key.values.empty() && hasSubKeys(key))
            continue;
        out += "\n[" + key.path + "]\n";
        for (const TSettingValue &value : key.values) {
            out += value.name.empty() ? std::string("@") : Quote(value.name);
            out += '=';
            switch (value.type) {
            case TValueType::String:
                out += NeedsHexForm(value.text) ? HexBytes("hex(1):", value.text + '\0') : Quote(value.text);
                break;
            case TValueType::Integer: {
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<uint32_t>(value.integer));
                out += buffer;
                break;
            }
            case TValueType::Binary:
                out += HexBytes("hex:", value.bytes);
                break;
            }
            out += '\n';
        }
    }
    return out;
}

bool TSettingsStore::Save(std::string *error) const
{
    if (fileName_.empty())
        return true;
    std::string text = ExportText();
    try {
        ForceFolders(ExtractFilePath(fileName_));
        WriteFileAtomic(fileName_, text, true); // it may hold the proxy's password
        return true;
    } catch (const EFileError &e) {
        if (error)
            *error = e.what();
        return false;
    }
}

void TSettingsStore::SaveOrReport() const
{
    Changed();
    std::string error;
    if (Save(&error) || saveFailureReported_)
        return;
    saveFailureReported_ = true;
    Notifier().Error("The settings could not be saved to \"" + fileName_ + "\": " + error);
}

} // namespace arvelo
