#include "core/Utf8.h"

#include <QChar>

namespace arvelo::utf8 {

char32_t Decode(std::string_view text, size_t pos, size_t &length)
{
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(pos);
    length = 1;
    if (lead < 0x80)
        return lead;
    size_t need = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1; cp = lead & 0x1F; minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2; cp = lead & 0x0F; minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3; cp = lead & 0x07; minimum = 0x10000;
    } else {
        return 0xDC00 + lead;
    }
    if (pos + need >= text.size())
        return 0xDC00 + lead;
    for (size_t i = 1; i <= need; ++i) {
        unsigned char c = byte(pos + i);
        if ((c & 0xC0) != 0x80)
            return 0xDC00 + lead;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xDC00 + lead;
    length = need + 1;
    return cp;
}

void Append(std::string &out, char32_t cp)
{
    if (cp >= 0xDC80 && cp <= 0xDCFF) {
        out += static_cast<char>(cp - 0xDC00);
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char32_t Upper(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    if (cp >= 0xD800 && cp <= 0xDFFF)
        return cp;
    return QChar::toUpper(cp);
}

std::string ToUpper(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0, len = 0; pos < text.size(); pos += len)
        Append(out, Upper(Decode(text, pos, len)));
    return out;
}

bool IsValid(std::string_view text)
{
    for (size_t pos = 0, len = 0; pos < text.size(); pos += len) {
        char32_t cp = Decode(text, pos, len);
        if (cp >= 0xDC80 && cp <= 0xDCFF && len == 1)
            return false;
    }
    return true;
}

} // namespace arvelo::utf8
