#pragma once

#include <QString>

#include <cstdint>

namespace arvelo {

// A settings colour ($00BBGGRR) as a style sheet colour ("#rrggbb").
inline QString CssColour(uint32_t bgr)
{
    return QStringLiteral("#%1%2%3")
        .arg(bgr & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((bgr >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((bgr >> 16) & 0xFF, 2, 16, QLatin1Char('0'));
}

} // namespace arvelo
