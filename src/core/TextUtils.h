#pragma once

#include "core/DateTime.h"

#include <string>
#include <string_view>
#include <vector>

// Text helpers with the exact matching rules the crawl relies on. Text is
// UTF-8 held byte for byte; positions are 1-based byte positions, 0 meaning
// "not found".
namespace arvelo {

using StringList = std::vector<std::string>;

// The separator of stored item fields, U+00B6.
inline constexpr std::string_view kFieldSeparator = "\xC2\xB6";

// The n-th field (0-based) of text split at separator; a missing field is empty.
std::string FieldOf(std::string_view text, std::string_view separator, int n);

// Whether needle occurs in text, letter case ignored.
bool ContainsText(std::string_view needle, std::string_view text);

int PosFrom(std::string_view sub, std::string_view text, int from);
int LastPos(std::string_view sub, std::string_view text);

enum ReplaceFlags : int {
    kReplaceBeforeDelimiter = 1, // only where a delimiter character follows
    kReplaceExactCase = 2,
    kReplaceAll = 4,
};
void ReplaceText(std::string &text, std::string_view find, std::string_view repl, int flags);

std::string TextBetween(std::string_view text, std::string_view open, std::string_view close);
std::string TextBetweenTags(std::string_view text, std::string_view open, std::string_view close);

// Removes line breaks and field separators, then trims codes up to 32 at both ends.
std::string CleanText(std::string_view text);
// Trims codes up to 32 at both ends.
std::string Trim(std::string_view text);

int SearchNoCase(std::string_view sub, std::string_view text, int from);
// A negative start ignores ASCII letter case; "?" in the pattern matches any byte.
int ScanForward(std::string_view text, std::string_view pattern, int start);
int ScanBackward(std::string_view text, std::string_view pattern, int start);
int ScanExact(std::string_view text, std::string_view pattern, int start);

int NumberWithoutCommas(std::string_view text);
// Parses a whole decimal number (blanks around it allowed); fallback when it is not one.
int ToIntDef(std::string_view text, int fallback);
int64_t ToInt64Def(std::string_view text, int64_t fallback);

// "1 Hrs 2 Min 3 Sec", or "2 Min 3 Sec" when the hours are 0.
std::string DurationText(TDateTime time);
int WeekdayIndex(TDateTime date);

std::string LowerAscii(std::string_view text);
// The blanks of HTML and CSS: space, tab, line feed, carriage return, form feed.
inline bool IsMarkupBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
// HTML's character references in an attribute value decoded: "&amp;",
// "&lt;", "&gt;", "&quot;", "&apos;", "&#47;" and "&#x2F;". Anything else is
// left as it stands.
std::string DecodeCharacterReferences(std::string_view text);

// An address's percent-escapes of bytes that need none (letters, digits,
// "-._~" and every byte of a non-ASCII character) decoded: the forms a site
// writes for one name become one text. Escapes of other bytes stay.
std::string DecodeNeedlessEscapes(std::string_view text);

bool SameText(std::string_view a, std::string_view b);

// The list as comma text: entries joined by commas, an entry quoted (with its
// quotes doubled) when it holds a blank, a comma, a quote or a control code.
std::string ToCommaText(const StringList &list);
StringList FromCommaText(std::string_view text);

} // namespace arvelo
