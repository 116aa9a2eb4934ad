#pragma once

#include <string>

class QWidget;

namespace arvelo::test {

// Writes the widget as it looks to build/screenshots/<Suite>.<Test>-<name>.png
// and returns the file's path.
std::string Screenshot(QWidget &widget, const std::string &name);

} // namespace arvelo::test
