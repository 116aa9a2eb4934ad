#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace arvelo {

// The link scanner of a page. It is not an HTML parser: in tag mode it finds
// a tag whose name begins with TagName after a "<", then AttrName inside it,
// then a value closed by a double quote; in quoted-string mode (1: inside
// script blocks only, 2: everywhere) it finds strings between two TagName
// quote characters that look like addresses.
//
// Positions are 0-based; kNone stands for "none". The scan reads the text as
// it was when the parser was made; ReplaceValue records the new text of the
// current value, and Result gives the text with every replacement made, in
// one pass, so that a page with many links costs time linear in its size.
class TAVParser {
public:
    static constexpr size_t kNone = std::string::npos;

    TAVParser(std::string_view text, std::string tagName, std::string terminator, std::string attrName,
              uint8_t mode = 0);

    std::string_view Text() const { return text_; }
    std::string TagName, Terminator, AttrName;
    uint8_t Mode;

    size_t ScanPos = 0;
    size_t NextPos = kNone;
    size_t TagStart = kNone, TagEnd = kNone, AttrPos = kNone;
    std::string Value;
    size_t ValueStart = kNone, ValueEnd = kNone;

    // The next value of the pass; empty when the current tag or string has
    // none. More() tells whether the pass goes on.
    std::string NextValue();
    bool More() const { return NextPos != kNone && ScanPos != kNone; }
    std::string NextAttrValue();
    std::string NextQuotedString();
    bool FindTag();
    // The text after the current tag up to the next "<", cleaned and trimmed.
    std::string LinkText() const;
    void ReplaceValue(const std::string &newText);
    struct Replacement {
        size_t start, length;
        std::string text;
    };
    // The replacements of the pass, in text order.
    const std::vector<Replacement> &Replacements() const { return replacements_; }
    std::string Result() const;

    // True when the position lies inside a script block: after the last
    // "<script" that starts before it and before the first "/script" after
    // that; end gives the position of that "/script".
    bool InsideScript(size_t position, size_t *end = nullptr) const;

private:
    // The first occurrence of AttrName at or after from that a blank, a
    // quote or "=" follows.
    size_t FindAttribute(size_t from);
    size_t FirstAfter(char c, size_t from, size_t &cacheFrom, size_t &cacheAt) const;
    void IndexScripts() const;

    std::string_view text_;
    std::vector<Replacement> replacements_;
    size_t attrFrom_ = kNone, attrAt_ = kNone;
    mutable size_t gtFrom_ = kNone, gtAt_ = kNone;
    mutable bool scriptsIndexed_ = false;
    mutable std::vector<size_t> scriptStarts_, scriptEnds_;
};

// The first occurrence of pattern at or after from, ASCII letter case
// ignored; TAVParser::kNone when there is none.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from);

// Text of a title or a link: line breaks and "¶" removed, trimmed.
std::string CleanLinkText(std::string_view text);

} // namespace arvelo
