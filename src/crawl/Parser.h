#pragma once

#include <cstdint>
#include <memory>
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
// The tags of a text by the first letter of their name, so that a pass for
// one tag name visits only the tags that can match it.
class TTagIndex {
public:
    explicit TTagIndex(std::string_view text);
    // Positions of the "<" of the tags whose name begins with that letter
    // (any other character: "other"), in text order.
    const std::vector<size_t> &Tags(char firstLetter) const;
    // Positions of every "<script" and "/script", letter case ignored.
    const std::vector<size_t> &ScriptStarts() const { return scriptStarts_; }
    const std::vector<size_t> &ScriptEnds() const { return scriptEnds_; }

private:
    std::vector<size_t> byLetter_[27];
    std::vector<size_t> scriptStarts_, scriptEnds_;
};

class TAVParser {
public:
    static constexpr size_t kNone = std::string::npos;

    // With an index of the text's tags, FindTag visits only the tags that can match.
    TAVParser(std::string_view text, std::string tagName, std::string terminator, std::string attrName,
              uint8_t mode = 0, const TTagIndex *index = nullptr);

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
    // The script positions: the index's, else found once.
    const std::vector<size_t> &ScriptStarts() const;
    const std::vector<size_t> &ScriptEnds() const;

    std::string_view text_;
    const TTagIndex *index_;
    size_t indexCursor_ = 0;
    std::vector<Replacement> replacements_;
    size_t attrFrom_ = kNone, attrAt_ = kNone;
    mutable size_t gtFrom_ = kNone, gtAt_ = kNone;
    mutable std::unique_ptr<TTagIndex> ownIndex_;
};

// Whether a quoted string of a script names a file: an absolute http or
// https address, or a relative one whose last segment has an extension.
bool NamesAFile(std::string_view value);

// The first occurrence of pattern at or after from, ASCII letter case
// ignored; TAVParser::kNone when there is none.
size_t FindNoCase(std::string_view text, std::string_view pattern, size_t from);

// The text with the replacements, which are in text order and apart, made.
std::string WithReplacements(std::string_view text, const std::vector<TAVParser::Replacement> &replacements);

} // namespace arvelo
