#pragma once

#include "net/NameLookup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace arvelo::test {

// Keeps the tests, and the programs they start, on loopback: no name but
// "localhost" is looked up, and a test program that asked for any other
// name fails, unless the name is one of the reserved ones (".invalid",
// ".test", ".example") that tests use to mean a host that does not exist.
class TLoopbackGuard : public ::testing::Environment {
public:
    TLoopbackGuard() { setenv(TNameLookup::kLoopbackOnlyVariable, "1", 1); }

    void TearDown() override
    {
        for (const std::string &name : TNameLookup::RefusedNames())
            EXPECT_TRUE(Reserved(name)) << "a test looked up a name outside loopback: " << name;
    }

    static bool Reserved(const std::string &name)
    {
        for (const std::string suffix : {".invalid", ".test", ".example"})
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                return true;
        return false;
    }
};

} // namespace arvelo::test
