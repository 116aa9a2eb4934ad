#include "core/AppPaths.h"

#include "core/FileUtils.h"

#include <cstdlib>
#include <climits>
#include <unistd.h>

namespace arvelo {
namespace {

std::string Env(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder()
{
    std::string home = Env("HOME");
    return home.empty() ? SystemTempFolder() : IncludeTrailingSlash(home);
}

std::string XdgFolder(const char *variable, const char *fallback)
{
    std::string folder = Env(variable);
    // XDG base directories must be absolute; a relative one is ignored.
    if (folder.empty() || folder.front() != '/')
        return HomeFolder() + fallback;
    return IncludeTrailingSlash(folder);
}

std::string ProgramFolder()
{
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return ExtractFilePath(std::string(buffer, static_cast<size_t>(length)));
}

} // namespace

std::string DataFolder()
{
    std::string home = Env("ARVELO_HOME");
    if (!home.empty())
        return IncludeTrailingSlash(home);
    return XdgFolder("XDG_DATA_HOME", ".local/share/") + "arvelo/";
}

std::string SettingsFilePath()
{
    std::string home = Env("ARVELO_HOME");
    if (!home.empty())
        return IncludeTrailingSlash(home) + "settings.reg";
    return XdgFolder("XDG_CONFIG_HOME", ".config/") + "arvelo/settings.reg";
}

std::string ShippedDataFolder()
{
    std::string folder = Env("ARVELO_SHARE");
    if (!folder.empty())
        return IncludeTrailingSlash(folder);
    return ProgramFolder() + "../share/arvelo/";
}

std::string SystemTempFolder()
{
    std::string temp = Env("TMPDIR");
    return IncludeTrailingSlash(temp.empty() || temp.front() != '/' ? std::string("/tmp") : temp);
}

} // namespace arvelo
