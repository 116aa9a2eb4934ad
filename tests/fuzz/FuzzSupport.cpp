#include "FuzzSupport.h"

#include "core/AppPaths.h"
#include "core/Settings.h"

#include <mutex>
#include <unistd.h>

namespace arvelo::fuzz {

void PrepareHome()
{
    static std::once_flag once;
    std::call_once(once, [] {
        char pattern[] = "/tmp/arvelo-fuzz-XXXXXX";
        const char *home = ::mkdtemp(pattern);
        if (!home)
            std::abort();
        ::setenv("ARVELO_HOME", home, 1);
        ReloadSettings();
        Settings().ImportFile(ShippedDataFolder() + "FTypes.reg");
    });
}

} // namespace arvelo::fuzz
