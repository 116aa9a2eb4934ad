#include "support/TestHome.h"

#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "core/Settings.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace arvelo::test {

void TestHome::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    home_ = dir_.path().toStdString() + "/home/";
    ForceFolders(home_);
    ForceFolders(dir_.path().toStdString() + "/tmp/");
    ::setenv("ARVELO_HOME", home_.c_str(), 1);
    ::setenv("TMPDIR", (dir_.path().toStdString() + "/tmp").c_str(), 1);
    // The desktop's folders too (the trash among them): never the user's.
    const std::string xdg = dir_.path().toStdString() + "/xdg/";
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        const std::string folder = xdg + name;
        ForceFolders(folder);
        ::chmod(folder.c_str(), 0700);
        ::setenv(name, folder.c_str(), 1);
    }
    ReloadSettings();
    SetNotifier(&notifier);
}

void TestHome::TearDown()
{
    SetNotifier(nullptr);
    ReloadSettings();
}

void TestHome::WriteFile(const std::string &relative, const std::string &bytes) const
{
    std::string path = Path(relative);
    ForceFolders(ExtractFilePath(path));
    SaveText(path, bytes);
}

void TestHome::ImportShippedFileTypes() const
{
    bool readable = false;
    Settings().ImportFile(ShippedDataFolder() + "FTypes.reg", &readable);
    ASSERT_TRUE(readable);
}

std::string TestHome::ReadFile(const std::string &relative) const
{
    return ReadFileBytes(Path(relative));
}

} // namespace arvelo::test

namespace arvelo::test {

std::vector<std::string> FilesUnder(const std::string &folder)
{
    std::vector<std::string> files;
    // A running copy may remove a file while it is listed: no step here
    // asks the file system about an entry again.
    const std::string root = folder.ends_with('/') ? folder : folder + "/";
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file(error))
            files.push_back(it->path().string().substr(root.size()));
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace arvelo::test
