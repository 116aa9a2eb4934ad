#pragma once

#include <string>
#include <vector>

namespace arvelo {

// Starts a program on its own, each argument passed as it is (no shell
// reads them). False, with the reason shown, when it cannot start.
bool StartProgram(const std::string &program, const std::vector<std::string> &arguments);

} // namespace arvelo
