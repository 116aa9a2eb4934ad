#include "model/FileTypes.h"

#include "core/Settings.h"

#include <algorithm>
#include <mutex>

namespace arvelo {

std::vector<TFileTypeGroup> FileTypeGroups()
{
    std::vector<TFileTypeGroup> groups;
    for (const TSettingValue &value : Settings().Values(KeyAt(kCurrentUser, kFileTypesKey)))
        if (value.type == TValueType::String)
            groups.push_back(TFileTypeGroup{value.name, value.text});
    return groups;
}

StringList SplitExtensions(const std::string &data)
{
    StringList extensions;
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find(';', start);
        if (end == std::string::npos)
            end = data.size();
        std::string extension = Trim(std::string_view(data).substr(start, end - start));
        if (!extension.empty())
            extensions.push_back(std::move(extension));
        start = end + 1;
    }
    return extensions;
}

std::string GroupOfExtension(const std::string &extension)
{
    if (extension.empty())
        return {};
    // Looked up for every link of every page: keep the groups until the store changes.
    static std::mutex cacheMutex;
    static uint64_t cachedGeneration = 0;
    static std::vector<TFileTypeGroup> cachedGroups;
    std::string needle = LowerAscii(extension) + ";";
    std::lock_guard lock(cacheMutex);
    if (cachedGeneration != TSettingsStore::Generation()) {
        cachedGeneration = TSettingsStore::Generation();
        cachedGroups = FileTypeGroups();
    }
    for (const TFileTypeGroup &group : cachedGroups)
        if (group.extensions.find(needle) != std::string::npos)
            return group.name;
    return {};
}

bool IsProtectedGroup(const std::string &group) { return group == "HTML" || group == "Images"; }

bool IsProtectedExtension(const std::string &extension)
{
    static const StringList kProtected = {".htm", ".html", ".shtm", ".shtml", ".asp", ".gif", ".jpg", ".jpeg"};
    return std::find(kProtected.begin(), kProtected.end(), LowerAscii(extension)) != kProtected.end();
}

std::string FileTypeExtensions(const std::string &typed)
{
    std::string data;
    for (const std::string &part : SplitExtensions(typed)) {
        std::string extension = LowerAscii(part);
        if (extension == ".")
            continue;
        if (extension.front() != '.')
            extension.insert(0, 1, '.');
        data += extension + ";";
    }
    return data;
}

std::string FileTypeRefusal(const std::string &group, const std::string &typed)
{
    if (Trim(group).empty())
        return "A name for the file type is required.";
    if (FileTypeExtensions(typed).empty())
        return "Enter one or more file extensions separated by semicolons.";
    return {};
}

void WriteFileTypeGroup(const std::string &group, const std::string &extensions)
{
    std::string data = extensions;
    if (data.empty() || data.back() != ';')
        data += ';';
    WriteSetting(kFileTypesKey, group, data);
}

bool DeleteFileTypeExtension(const std::string &group, const std::string &extension)
{
    if (IsProtectedExtension(extension) || extension.empty())
        return false;
    auto value = Settings().Value(KeyAt(kCurrentUser, kFileTypesKey), group);
    if (!value || value->type != TValueType::String)
        return false;
    size_t at = value->text.find(extension);
    if (at == std::string::npos)
        return false;
    value->text.erase(at, std::min(extension.size() + 1, value->text.size() - at));
    WriteSetting(kFileTypesKey, value->name, value->text);
    return true;
}

bool DeleteFileTypeGroup(const std::string &group)
{
    if (IsProtectedGroup(group))
        return false;
    return DeleteSetting(kFileTypesKey, group);
}

std::string DeleteExtensionQuestion(const std::string &extension)
{
    return "Are you sure you want to delete the " + extension + " file type?";
}

std::string DeleteGroupQuestion(const std::string &group)
{
    return "Are you sure you want to delete the " + group + " file type group?";
}

} // namespace arvelo
