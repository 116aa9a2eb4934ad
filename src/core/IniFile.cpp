#include "core/IniFile.h"

#include "core/FileUtils.h"
#include "core/TextUtils.h"

#include <algorithm>

namespace arvelo {
namespace {

bool SameAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && LowerAscii(a) == LowerAscii(b);
}

std::string OneLine(std::string_view value)
{
    std::string out(value);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

} // namespace

TIniFile TIniFile::Parse(std::string_view text)
{
    TIniFile ini;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    Section *current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? end : end - pos);
        pos = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';')
            continue;
        if (trimmed[0] == '[') {
            size_t close = trimmed.find(']');
            if (close == std::string::npos) {
                current = nullptr;
                continue;
            }
            current = &ini.Ensure(Trim(std::string_view(trimmed).substr(1, close - 1)));
            continue;
        }
        size_t equals = line.find('=');
        if (!current || equals == std::string_view::npos)
            continue;
        std::string key = Trim(line.substr(0, equals));
        if (key.empty())
            continue;
        // The first occurrence of a key wins, as with the system's reader.
        bool seen = std::any_of(current->entries.begin(), current->entries.end(),
                                [&](const Entry &e) { return SameAscii(e.key, key); });
        if (!seen)
            current->entries.push_back(Entry{key, std::string(line.substr(equals + 1))});
    }
    return ini;
}

TIniFile TIniFile::Load(const std::string &fileName)
{
    bool ok = false;
    std::string bytes = ReadFileBytes(fileName, &ok);
    return ok ? Parse(bytes) : TIniFile();
}

std::string TIniFile::ToText() const
{
    std::string out;
    for (size_t i = 0; i < sections_.size(); ++i) {
        if (i)
            out += "\r\n";
        out += "[" + sections_[i].name + "]\r\n";
        for (const Entry &entry : sections_[i].entries)
            out += entry.key + "=" + entry.value + "\r\n";
    }
    return out;
}

void TIniFile::Save(const std::string &fileName, bool ownerOnly) const
{
    std::string folder = ExtractFilePath(fileName);
    if (!folder.empty() && !FolderExists(folder))
        ForceFolders(folder);
    WriteFileAtomic(fileName, ToText(), ownerOnly);
}

const TIniFile::Section *TIniFile::Find(std::string_view section) const
{
    for (const Section &s : sections_)
        if (SameAscii(s.name, section))
            return &s;
    return nullptr;
}

TIniFile::Section &TIniFile::Ensure(std::string_view section)
{
    for (Section &s : sections_)
        if (SameAscii(s.name, section))
            return s;
    sections_.push_back(Section{std::string(section), {}});
    return sections_.back();
}

const std::string *TIniFile::Lookup(std::string_view section, std::string_view key) const
{
    const Section *s = Find(section);
    if (!s)
        return nullptr;
    for (const Entry &entry : s->entries)
        if (SameAscii(entry.key, key))
            return &entry.value;
    return nullptr;
}

bool TIniFile::HasSection(std::string_view section) const { return Find(section) != nullptr; }

bool TIniFile::HasKey(std::string_view section, std::string_view key) const
{
    return Lookup(section, key) != nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, std::string_view fallback) const
{
    const std::string *value = Lookup(section, key);
    return value ? *value : std::string(fallback);
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const
{
    const std::string *value = Lookup(section, key);
    return value ? ToIntDef(*value, fallback) : fallback;
}

int64_t TIniFile::ReadInt64(std::string_view section, std::string_view key, int64_t fallback) const
{
    const std::string *value = Lookup(section, key);
    return value ? ToInt64Def(*value, fallback) : fallback;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    Section &s = Ensure(section);
    for (Entry &entry : s.entries) {
        if (SameAscii(entry.key, key)) {
            entry.value = OneLine(value);
            return;
        }
    }
    s.entries.push_back(Entry{OneLine(key), OneLine(value)});
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteInt64(std::string_view section, std::string_view key, int64_t value)
{
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(std::string_view section)
{
    std::erase_if(sections_, [&](const Section &s) { return SameAscii(s.name, section); });
}

} // namespace arvelo
