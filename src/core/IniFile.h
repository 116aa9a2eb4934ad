#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace arvelo {

// An INI-style text file held in memory: sections in square brackets and
// key=value lines, both kept in the order written. Section and key names are
// compared ignoring ASCII letter case. The reader takes CR LF or LF lines and
// skips junk; the writer puts CR LF after every line.
class TIniFile {
public:
    static TIniFile Parse(std::string_view text);
    // A file that is missing or unreadable gives an empty object.
    static TIniFile Load(const std::string &fileName);

    std::string ToText() const;
    // Creates the file's folder when missing, then replaces the file atomically.
    // Throws EFileError.
    void Save(const std::string &fileName, bool ownerOnly = false) const;

    bool HasSection(std::string_view section) const;
    bool HasKey(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback = {}) const;
    // Non-numeric text gives the fallback.
    int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
    int64_t ReadInt64(std::string_view section, std::string_view key, int64_t fallback) const;
    bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

    // Values are written as one line: line breaks become blanks.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteInt64(std::string_view section, std::string_view key, int64_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    void EraseSection(std::string_view section);

private:
    struct Entry {
        std::string key, value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Section *Find(std::string_view section) const;
    Section &Ensure(std::string_view section);
    const std::string *Lookup(std::string_view section, std::string_view key) const;

    std::vector<Section> sections_;
};

} // namespace arvelo
