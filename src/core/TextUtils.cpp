#include "core/TextUtils.h"

#include "core/Utf8.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

namespace arvelo {
namespace {

char LowerByte(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

size_t FromPos(int from) { return from < 1 ? 0 : static_cast<size_t>(from - 1); }

int ToPos(size_t index) { return index == std::string_view::npos ? 0 : static_cast<int>(index + 1); }

// Length in text of a case-insensitive match of find at pos, or npos.
size_t FoldedMatchAt(std::string_view text, size_t pos, std::string_view find)
{
    size_t t = pos, f = 0;
    while (f < find.size()) {
        if (t >= text.size())
            return std::string_view::npos;
        size_t tl = 0, fl = 0;
        char32_t tc = utf8::Decode(text, t, tl);
        char32_t fc = utf8::Decode(find, f, fl);
        if (tc != fc && utf8::Upper(tc) != utf8::Upper(fc))
            return std::string_view::npos;
        t += tl;
        f += fl;
    }
    return t - pos;
}

bool IsReplaceDelimiter(char32_t c)
{
    static constexpr std::u32string_view kDelimiters =
        U" .,:;-#'+*?=)(/&%$\u00A7\"!{[]}\\~<>|";
    return kDelimiters.find(c) != std::u32string_view::npos;
}

bool PatternMatchAt(std::string_view text, size_t pos, std::string_view pattern, bool ignoreCase)
{
    if (pos + pattern.size() > text.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        char p = pattern[i], c = text[pos + i];
        if (p == '?' || p == c)
            continue;
        if (!ignoreCase || LowerByte(p) != LowerByte(c))
            return false;
    }
    return true;
}

} // namespace

std::string FieldOf(std::string_view text, std::string_view separator, int n)
{
    if (n < 0 || separator.empty())
        return {};
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        size_t at = text.find(separator, start);
        if (at == std::string_view::npos)
            return {};
        start = at + separator.size();
    }
    size_t end = text.find(separator, start);
    return std::string(text.substr(start, end == std::string_view::npos ? end : end - start));
}

bool ContainsText(std::string_view needle, std::string_view text)
{
    return utf8::ToUpper(text).find(utf8::ToUpper(needle)) != std::string::npos;
}

int PosFrom(std::string_view sub, std::string_view text, int from)
{
    if (sub.empty())
        return 0;
    return ToPos(text.find(sub, FromPos(from)));
}

int LastPos(std::string_view sub, std::string_view text)
{
    if (sub.empty())
        return 0;
    return ToPos(text.rfind(sub));
}

namespace {

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 128; });
}

// False when the text cannot hold the pattern, found cheaply: most calls
// replace nothing, and the general loop below decodes every character.
bool MayOccur(std::string_view text, std::string_view find, bool exact)
{
    if (exact)
        return text.find(find) != std::string_view::npos;
    if (!IsAscii(text) || !IsAscii(find))
        return true;
    const char first = LowerByte(find[0]);
    for (size_t pos = 0; pos + find.size() <= text.size(); ++pos) {
        if (LowerByte(text[pos]) != first)
            continue;
        size_t i = 1;
        while (i < find.size() && LowerByte(text[pos + i]) == LowerByte(find[i]))
            ++i;
        if (i == find.size())
            return true;
    }
    return false;
}

} // namespace

void ReplaceText(std::string &text, std::string_view find, std::string_view repl, int flags)
{
    if (find.empty())
        return;
    const bool exact = flags & kReplaceExactCase;
    if (!MayOccur(text, find, exact))
        return;
    std::string out;
    size_t pos = 0;
    bool replaced = false;
    while (pos < text.size()) {
        size_t length = std::string_view::npos;
        if (!replaced || (flags & kReplaceAll)) {
            if (exact)
                length = std::string_view(text).compare(pos, find.size(), find) == 0
                             ? find.size() : std::string_view::npos;
            else
                length = FoldedMatchAt(text, pos, find);
        }
        if (length != std::string_view::npos && (flags & kReplaceBeforeDelimiter)) {
            size_t next = 0;
            if (pos + length >= text.size() ||
                !IsReplaceDelimiter(utf8::Decode(text, pos + length, next)))
                length = std::string_view::npos;
        }
        if (length != std::string_view::npos) {
            out += repl;
            pos += length;
            replaced = true;
        } else {
            size_t step = 0;
            utf8::Decode(text, pos, step);
            out.append(text, pos, step);
            pos += step;
        }
    }
    text = std::move(out);
}

std::string TextBetween(std::string_view text, std::string_view open, std::string_view close)
{
    size_t start = text.find(open);
    if (start == std::string_view::npos || open.empty())
        return {};
    start += open.size();
    size_t end = text.find(close, start);
    if (end == std::string_view::npos || close.empty())
        return {};
    return std::string(text.substr(start, end - start));
}

std::string TextBetweenTags(std::string_view text, std::string_view open, std::string_view close)
{
    if (open.empty() || close.empty())
        return {};
    std::string lower = LowerAscii(text);
    size_t start = lower.find(LowerAscii(open));
    size_t end = lower.find(LowerAscii(close));
    if (start == std::string::npos || end == std::string::npos)
        return {};
    start += open.size();
    if (end < start)
        return {};
    return std::string(text.substr(start, end - start));
}

std::string Trim(std::string_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32)
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string CleanText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n')
            continue;
        if (text.substr(i, kFieldSeparator.size()) == kFieldSeparator) {
            i += kFieldSeparator.size() - 1;
            continue;
        }
        out += text[i];
    }
    return Trim(out);
}

int SearchNoCase(std::string_view sub, std::string_view text, int from)
{
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    if (sub.empty())
        return 0;
    for (size_t pos = FromPos(from); pos + sub.size() <= text.size(); ++pos) {
        size_t i = 0;
        while (i < sub.size() && LowerByte(text[pos + i]) == LowerByte(sub[i]))
            ++i;
        if (i == sub.size())
            return ToPos(pos);
    }
    return 0;
}

int ScanForward(std::string_view text, std::string_view pattern, int start)
{
    if (pattern.empty())
        return 0;
    bool ignoreCase = start < 0;
    size_t from = FromPos(start < 0 ? -start : start);
    for (size_t pos = from; pos + pattern.size() <= text.size(); ++pos)
        if (PatternMatchAt(text, pos, pattern, ignoreCase))
            return ToPos(pos);
    return 0;
}

int ScanBackward(std::string_view text, std::string_view pattern, int start)
{
    if (pattern.empty() || pattern.size() > text.size())
        return 0;
    bool ignoreCase = start < 0;
    size_t endLimit = start == 0 ? text.size() : static_cast<size_t>(start < 0 ? -start : start);
    endLimit = std::min(endLimit, text.size());
    if (endLimit < pattern.size())
        return 0;
    for (size_t pos = endLimit - pattern.size() + 1; pos-- > 0;)
        if (PatternMatchAt(text, pos, pattern, ignoreCase))
            return ToPos(pos);
    return 0;
}

int ScanExact(std::string_view text, std::string_view pattern, int start)
{
    return PosFrom(pattern, text, start);
}

namespace {

template <typename Int>
Int ParseDecimal(std::string_view text, Int fallback)
{
    std::string trimmed = Trim(text);
    std::string_view digits = trimmed;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    Int value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return fallback;
    return value;
}

} // namespace

int ToIntDef(std::string_view text, int fallback) { return ParseDecimal(text, fallback); }

int64_t ToInt64Def(std::string_view text, int64_t fallback) { return ParseDecimal(text, fallback); }

int NumberWithoutCommas(std::string_view text)
{
    std::string digits;
    for (char c : text)
        if (c != ',')
            digits += c;
    return ToIntDef(digits, 0);
}

std::string DurationText(TDateTime time)
{
    TDateTime::Parts p = time.Split();
    std::string text;
    if (p.hour != 0)
        text = std::to_string(p.hour) + " Hrs ";
    return text + std::to_string(p.minute) + " Min " + std::to_string(p.second) + " Sec";
}

int WeekdayIndex(TDateTime date) { return date.DayOfWeek(); }

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerByte);
    return out;
}

std::string DecodeCharacterReferences(std::string_view text)
{
    if (text.find('&') == std::string_view::npos)
        return std::string(text);
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t semicolon = text[i] == '&' ? text.find(';', i + 1) : std::string_view::npos;
        if (semicolon == std::string_view::npos || semicolon - i > 10) {
            out += text[i];
            continue;
        }
        std::string_view name = text.substr(i + 1, semicolon - i - 1);
        bool decoded = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            std::string_view digits = name.substr(hex ? 2 : 1);
            uint32_t code = 0;
            auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
            if (error == std::errc() && end == digits.data() + digits.size() && !digits.empty() && code > 0 &&
                code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                utf8::Append(out, static_cast<char32_t>(code));
                decoded = true;
            }
        } else {
            for (const auto &[entity, c] : kNamed)
                if (name == entity) {
                    out += c;
                    decoded = true;
                }
        }
        if (decoded)
            i = semicolon;
        else
            out += text[i];
    }
    return out;
}

std::string DecodeNeedlessEscapes(std::string_view text)
{
    auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            const auto byte = static_cast<unsigned char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            if (byte >= 0x80 || std::isalnum(byte) || byte == '-' || byte == '.' || byte == '_' || byte == '~') {
                out += static_cast<char>(byte);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool SameText(std::string_view a, std::string_view b)
{
    // Plain ASCII compares in place; only other letters need the full case mapping.
    size_t i = 0;
    for (; i < a.size() && i < b.size(); ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80)
            return utf8::ToUpper(a.substr(i)) == utf8::ToUpper(b.substr(i));
        if ((x >= 'a' && x <= 'z' ? x - 32 : x) != (y >= 'a' && y <= 'z' ? y - 32 : y))
            return false;
    }
    return a.size() == b.size();
}

std::string ToCommaText(const StringList &list)
{
    std::string out;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string &entry = list[i];
        if (i)
            out += ',';
        bool quote = entry.empty() || std::any_of(entry.begin(), entry.end(), [](char c) {
            unsigned char u = static_cast<unsigned char>(c);
            return c == ' ' || c == ',' || c == '"' || (u >= 1 && u <= 31);
        });
        if (!quote) {
            out += entry;
            continue;
        }
        out += '"';
        for (char c : entry) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out;
}

StringList FromCommaText(std::string_view text)
{
    // Outside quotes, commas and blanks (codes up to 32) separate entries.
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    StringList list;
    size_t pos = 0;
    auto skipBlanks = [&] {
        while (pos < text.size() && isBlank(text[pos]))
            ++pos;
    };
    skipBlanks();
    while (pos < text.size()) {
        std::string entry;
        if (text[pos] == '"') {
            ++pos;
            while (pos < text.size()) {
                if (text[pos] == '"') {
                    if (pos + 1 < text.size() && text[pos + 1] == '"') {
                        entry += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                entry += text[pos++];
            }
        }
        while (pos < text.size() && text[pos] != ',' && !isBlank(text[pos]))
            entry += text[pos++];
        list.push_back(std::move(entry));
        skipBlanks();
        if (pos < text.size() && text[pos] == ',') {
            ++pos;
            skipBlanks();
            if (pos == text.size())
                list.emplace_back();
        }
    }
    return list;
}

} // namespace arvelo
