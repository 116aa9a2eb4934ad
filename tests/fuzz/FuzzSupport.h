#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace arvelo::fuzz {

// Gives the target a data folder of its own with the shipped file types,
// once per process.
void PrepareHome();

// A failed property: printed and aborted, so that the fuzzer keeps the input.
[[noreturn]] inline void Fail(const char *what, const std::string &detail)
{
    std::fprintf(stderr, "property failed: %s: %s\n", what, detail.c_str());
    std::abort();
}

} // namespace arvelo::fuzz
