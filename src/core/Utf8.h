#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace arvelo::utf8 {

// Decodes the code point at byte offset pos. A byte that does not start a
// well-formed sequence decodes alone, as 0xDC00 + byte, so that invalid text
// is still compared byte for byte.
char32_t Decode(std::string_view text, size_t pos, size_t &length);

// Appends the UTF-8 form of a code point (surrogate escapes write their byte back).
void Append(std::string &out, char32_t cp);

// Simple upper-case mapping of one code point (the length-preserving one).
char32_t Upper(char32_t cp);

// The text with every code point upper-cased; invalid bytes stay as they are.
std::string ToUpper(std::string_view text);

bool IsValid(std::string_view text);

} // namespace arvelo::utf8
