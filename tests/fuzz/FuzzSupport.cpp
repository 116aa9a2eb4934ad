#include "FuzzSupport.h"

#include "core/AppPaths.h"
#include "core/Settings.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <unistd.h>

namespace arvelo::fuzz {

void PrepareHome()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // In the temporary folder the test run gives, and gone at exit.
        const char *temp = std::getenv("TMPDIR");
        static std::string home = std::string(temp && *temp ? temp : "/tmp") + "/arvelo-fuzz-XXXXXX";
        if (!::mkdtemp(home.data()))
            std::abort();
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(home, error);
        });
        ::setenv("ARVELO_HOME", home.c_str(), 1);
        ReloadSettings();
        Settings().ImportFile(ShippedDataFolder() + "FTypes.reg");
    });
}

} // namespace arvelo::fuzz
