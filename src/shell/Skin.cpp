#include "shell/Skin.h"

#include "core/App.h"
#include "core/AppPaths.h"
#include "core/FileUtils.h"
#include "core/TextUtils.h"

#include <algorithm>
#include <filesystem>

namespace arvelo {

TSkin::TSkin(std::vector<std::string> skinsFolders, const std::string &name) : folders_(std::move(skinsFolders))
{
    const bool exists = ValidName(name) && std::any_of(folders_.begin(), folders_.end(), [&](const std::string &folder) {
                            return FolderExists(folder + name);
                        });
    name_ = exists ? name : std::string(kDefaultSkin);
}

TSkin TSkin::Current()
{
    const TAVApp *app = TAVApp::Instance();
    return TSkin(SkinsFolders(), app ? app->Skin() : std::string(kDefaultSkin));
}

bool TSkin::ValidName(const std::string &name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos && name.find('\0') == std::string::npos;
}

std::vector<std::string> TSkin::PictureFiles(const std::string &picture) const
{
    std::vector<std::string> files;
    for (const std::string &skin : {name_, std::string(kDefaultSkin)}) {
        for (const std::string &folder : folders_) {
            const std::string file = folder + skin + "/" + picture;
            if (FileExists(file) && std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(file);
        }
    }
    return files;
}

std::vector<std::string> SkinNames(const std::vector<std::string> &skinsFolders)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    for (const std::string &folder : skinsFolders) {
        std::error_code error;
        for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
            const std::string name = entry->path().filename().string();
            if (entry->is_directory(error) && TSkin::ValidName(name) &&
                std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return LowerAscii(a) < LowerAscii(b);
    });
    return names;
}

std::vector<std::string> SkinsFolders()
{
    std::vector<std::string> folders;
    if (const TAVApp *app = TAVApp::Instance())
        folders.push_back(app->ProgramFolder() + "Skins/");
    folders.push_back(ShippedDataFolder() + "Skins/");
    return folders;
}

} // namespace arvelo
