#pragma once

#include <QString>

#include <string>

namespace arvelo {

// The engine's texts (UTF-8) for the controls, and back.
inline QString Q(const std::string &text) { return QString::fromStdString(text); }
inline std::string S(const QString &text) { return text.toStdString(); }

} // namespace arvelo
