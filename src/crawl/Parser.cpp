#include "crawl/Parser.h"

#include "core/TextUtils.h"

#include <algorithm>
#include <cstring>

namespace arvelo {

namespace {

inline char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace

// Candidates are found with memchr, for the first character in both cases.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from)
{
    if (pattern.empty() || from >= text.size() || pattern.size() > text.size() - from)
        return TAVParser::kNone;
    const char lower = Lower(pattern[0]);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 32) : lower;
    const char *begin = text.data();
    const char *end = begin + text.size() - pattern.size() + 1;
    auto next = [&](const char *at, char c) {
        const void *found = at < end ? std::memchr(at, c, static_cast<size_t>(end - at)) : nullptr;
        return found ? static_cast<const char *>(found) : end;
    };
    const char *atLower = next(begin + from, lower);
    const char *atUpper = upper == lower ? end : next(begin + from, upper);
    while (atLower < end || atUpper < end) {
        const char *at = std::min(atLower, atUpper);
        if (EqualNoCase(std::string_view(at + 1, pattern.size() - 1), pattern.substr(1)))
            return static_cast<size_t>(at - begin);
        if (at == atLower)
            atLower = next(at + 1, lower);
        else
            atUpper = next(at + 1, upper);
    }
    return TAVParser::kNone;
}

namespace {

// Membership tests of the few character sets the scanner skips over.
struct TCharSet {
    bool member[256] = {};
    constexpr explicit TCharSet(const char *chars)
    {
        for (; *chars; ++chars)
            member[static_cast<unsigned char>(*chars)] = true;
    }
    bool operator()(char c) const { return member[static_cast<unsigned char>(c)]; }
};
constexpr TCharSet kAfterTagOpen("\n\r \"'=");
constexpr TCharSet kAfterAttribute(" \t\n\r\"'=");

size_t Find(std::string_view text, char c, size_t from)
{
    return from >= text.size() ? TAVParser::kNone : text.find(c, from);
}

} // namespace

namespace {

size_t LetterSlot(char c)
{
    c = Lower(c);
    return c >= 'a' && c <= 'z' ? static_cast<size_t>(c - 'a') : 26;
}

} // namespace

TTagIndex::TTagIndex(std::string_view text)
{
    for (size_t at = Find(text, '<', 0); at != TAVParser::kNone; at = Find(text, '<', at + 1)) {
        size_t name = at + 1;
        while (name < text.size() && kAfterTagOpen(text[name]))
            ++name;
        byLetter_[name < text.size() ? LetterSlot(text[name]) : 26].push_back(at);
    }
    std::string lower = LowerAscii(text);
    auto all = [&](std::string_view pattern, std::vector<size_t> &positions) {
        const char *at = lower.data(), *end = lower.data() + lower.size();
        while (const void *found = memmem(at, static_cast<size_t>(end - at), pattern.data(), pattern.size())) {
            at = static_cast<const char *>(found);
            positions.push_back(static_cast<size_t>(at - lower.data()));
            ++at;
        }
    };
    all("<script", scriptStarts_);
    all("/script", scriptEnds_);
}

const std::vector<size_t> &TTagIndex::Tags(char firstLetter) const { return byLetter_[LetterSlot(firstLetter)]; }

TAVParser::TAVParser(std::string_view text, std::string tagName, std::string terminator, std::string attrName,
                     uint8_t mode, const TTagIndex *index)
    : TagName(std::move(tagName)), Terminator(std::move(terminator)), AttrName(std::move(attrName)), Mode(mode),
      text_(text), index_(index)
{
}

std::string TAVParser::NextValue()
{
    if (NextPos != kNone)
        ScanPos = NextPos + 1;
    return Mode == 0 ? NextAttrValue() : NextQuotedString();
}

bool TAVParser::FindTag()
{
    if (index_ && !TagName.empty()) {
        // The same search as below, over the tags whose name can match.
        const std::vector<size_t> &tags = index_->Tags(TagName[0]);
        while (indexCursor_ < tags.size() && tags[indexCursor_] < ScanPos)
            ++indexCursor_;
        for (; indexCursor_ < tags.size(); ++indexCursor_) {
            TagStart = tags[indexCursor_];
            ScanPos = TagStart + 1;
            while (ScanPos < text_.size() && kAfterTagOpen(text_[ScanPos]))
                ++ScanPos;
            if (EqualNoCase(text_.substr(ScanPos, TagName.size()), TagName))
                return true;
        }
        TagStart = kNone;
        return false;
    }
    for (;;) {
        TagStart = Find(text_, '<', ScanPos);
        if (TagStart == kNone)
            return false;
        ScanPos = TagStart + 1;
        while (ScanPos < text_.size() && kAfterTagOpen(text_[ScanPos]))
            ++ScanPos;
        if (EqualNoCase(text_.substr(ScanPos, TagName.size()), TagName))
            return true;
    }
}

size_t TAVParser::FindAttribute(size_t from)
{
    // The answer for a later start is the same as long as it lies before
    // the occurrence found last, so each pass searches the text once.
    if (attrFrom_ != kNone && attrFrom_ <= from && (attrAt_ == kNone || from <= attrAt_))
        return attrAt_;
    size_t p = from;
    size_t found = kNone;
    for (;;) {
        size_t at = FindNoCase(text_, AttrName, p);
        if (at == kNone)
            break;
        p = at + AttrName.size();
        if (p < text_.size() && kAfterAttribute(text_[p])) {
            found = at;
            break;
        }
    }
    attrFrom_ = from;
    attrAt_ = found;
    return found;
}

std::string TAVParser::NextAttrValue()
{
    Value.clear();
    if (text_.empty())
        return {};
    if (!FindTag()) {
        NextPos = kNone;
        return {};
    }
    TagEnd = NextPos = text_.find(Terminator, TagStart);
    if (TagEnd == kNone || AttrName.empty())
        return {};

    AttrPos = FindAttribute(TagStart);
    if (AttrPos == kNone)
        return {};
    size_t p = AttrPos + AttrName.size();
    while (p < TagEnd && IsMarkupBlank(text_[p]))
        ++p;
    if (p >= TagEnd || text_[p] != '=')
        return {};
    ++p;
    // A backslash may stand before the quote in a page written by a script.
    while (p < TagEnd && (IsMarkupBlank(text_[p]) || text_[p] == '\\'))
        ++p;
    if (p >= TagEnd)
        return {};
    // Double-quoted, single-quoted, or unquoted up to a blank or the tag's end.
    const char quote = text_[p] == '"' || text_[p] == '\'' ? text_[p] : '\0';
    size_t start = quote ? p + 1 : p, close = start;
    if (quote) {
        close = Find(text_, quote, start);
        if (close == kNone || close > TagEnd)
            return {};
    } else {
        while (close < TagEnd && !IsMarkupBlank(text_[close]) && text_[close] != '"' && text_[close] != '\'')
            ++close;
    }
    // An address never starts or ends with blanks.
    while (start < close && IsMarkupBlank(text_[start]))
        ++start;
    while (close > start && IsMarkupBlank(text_[close - 1]))
        --close;
    ValueStart = start;
    ValueEnd = close;
    std::string_view value = text_.substr(start, close - start);
    if (value.find("javascript:") != std::string_view::npos) {
        // Only the address between the first two quotes of the other kind.
        const char inner = quote == '\'' ? '"' : '\'';
        size_t open = Find(text_, inner, start);
        if (open == kNone || open >= close)
            return {};
        size_t end = Find(text_, inner, open + 1);
        if (end == kNone || end >= close)
            return {};
        ValueStart = open + 1;
        ValueEnd = end;
        value = text_.substr(ValueStart, end - ValueStart);
    }
    Value = DecodeCharacterReferences(value);
    return Value;
}

size_t TAVParser::FirstAfter(char c, size_t from, size_t &cacheFrom, size_t &cacheAt) const
{
    if (cacheFrom != kNone && cacheFrom <= from && (cacheAt == kNone || from <= cacheAt))
        return cacheAt;
    cacheFrom = from;
    cacheAt = Find(text_, c, from);
    return cacheAt;
}

const std::vector<size_t> &TAVParser::ScriptStarts() const
{
    if (!index_ && !ownIndex_)
        ownIndex_ = std::make_unique<TTagIndex>(text_);
    return (index_ ? index_ : ownIndex_.get())->ScriptStarts();
}

const std::vector<size_t> &TAVParser::ScriptEnds() const
{
    ScriptStarts();
    return (index_ ? index_ : ownIndex_.get())->ScriptEnds();
}

bool TAVParser::InsideScript(size_t position, size_t *end) const
{
    // Searched from the position: a page has few script blocks near a tag.
    size_t start = kNone;
    for (size_t at = std::min(position, text_.size()); at-- > 0;) {
        if (text_[at] == '<' && EqualNoCase(text_.substr(at, 7), "<script")) {
            start = at;
            break;
        }
    }
    if (start == kNone)
        return false;
    size_t close = FindNoCase(text_, "/script", start + 1);
    if (close == kNone || close <= position)
        return false;
    if (end)
        *end = close;
    return true;
}

bool NamesAFile(std::string_view value)
{
    if (FindNoCase(value, "http://", 0) == 0 || FindNoCase(value, "https://", 0) == 0)
        return value.find('.') != std::string_view::npos;
    // A relative address whose last segment reads "a.b"; "../" or
    // "cpp/container/vector" in a script is the script's own text.
    std::string_view path = value.substr(0, std::min(value.find('?'), value.find('#')));
    std::string_view last = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
    const size_t dot = last.rfind('.');
    return dot != std::string_view::npos && dot > 0 && dot + 1 < last.size();
}

std::string TAVParser::NextQuotedString()
{
    Value.clear();
    if (text_.empty() || TagName.empty()) {
        ScanPos = kNone;
        return {};
    }
    const char quote = TagName[0];
    ScanPos = Find(text_, quote, ScanPos);
    if (ScanPos == kNone)
        return {};
    NextPos = Find(text_, quote, ScanPos + 1);
    if (NextPos == kNone)
        return {};
    size_t gt = FirstAfter('>', ScanPos, gtFrom_, gtAt_);
    if (gt == kNone || gt < NextPos) {
        // The closing quote may open the next string.
        NextPos -= 1;
        return {};
    }
    ValueStart = ScanPos + 1;
    ValueEnd = NextPos;
    if (Mode == 1) {
        // Inside a script block: the last "<script" that ends at or before
        // the string, and the first "/script" after its start.
        const std::vector<size_t> &starts = ScriptStarts(), &ends = ScriptEnds();
        bool inside = false;
        if (ValueStart >= 7) {
            auto start = std::upper_bound(starts.begin(), starts.end(), ValueStart - 7);
            if (start != starts.begin()) {
                size_t s = *--start;
                auto close = std::lower_bound(ends.begin(), ends.end(), s);
                inside = close != ends.end() && ValueStart < *close;
            }
        }
        if (!inside)
            return {};
    }
    std::string_view value = text_.substr(ValueStart, ValueEnd - ValueStart);
    if (value.empty() || value.find(' ') != std::string_view::npos || value.find(';') != std::string_view::npos ||
        (value.find(':') != std::string_view::npos && value.find("://") == std::string_view::npos) ||
        value.find('<') != std::string_view::npos || FindNoCase(value, "text/css", 0) != kNone ||
        FindNoCase(value, "text/javascript", 0) != kNone)
        return {};
    if (!NamesAFile(value))
        return {};
    Value = std::string(value);
    return Value;
}

std::string TAVParser::LinkText() const
{
    size_t from = 0;
    if (Mode == 0 && TagStart != kNone) {
        size_t gt = Find(text_, '>', TagStart);
        if (gt == kNone)
            return {};
        from = gt + 1;
    }
    size_t lt = Find(text_, '<', from);
    return CleanText(text_.substr(std::min(from, text_.size()), lt == kNone ? kNone : lt - from));
}

void TAVParser::ReplaceValue(const std::string &newText)
{
    if (newText == Value || ValueStart == kNone)
        return;
    if (!replacements_.empty() && ValueStart < replacements_.back().start + replacements_.back().length)
        return;
    replacements_.push_back({ValueStart, ValueEnd - ValueStart, newText});
}

std::string TAVParser::Result() const { return WithReplacements(text_, replacements_); }

std::string WithReplacements(std::string_view text, const std::vector<TAVParser::Replacement> &replacements)
{
    size_t grown = 0;
    for (const TAVParser::Replacement &r : replacements)
        grown += r.text.size();
    std::string out;
    out.reserve(text.size() + grown);
    size_t at = 0;
    for (const TAVParser::Replacement &r : replacements) {
        out.append(text, at, r.start - at);
        out += r.text;
        at = r.start + r.length;
    }
    out.append(text, at);
    return out;
}

} // namespace arvelo
