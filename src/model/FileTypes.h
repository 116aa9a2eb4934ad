#pragma once

#include "core/TextUtils.h"

#include <string>

// The file-type groups of the settings store: each string value of the key
// "File Types" is a group, its data the extensions, each with its dot and
// followed by ";" (".htm;.html;"). "HTML" is the page group.
namespace arvelo {

inline constexpr const char *kPageGroup = "HTML";

struct TFileTypeGroup {
    std::string name;
    std::string extensions; // ".htm;.html;"
};

std::vector<TFileTypeGroup> FileTypeGroups();
// The extensions of a group's data, in order.
StringList SplitExtensions(const std::string &data);

// The first group, in store order, whose data holds the lower-cased extension
// followed by ";"; empty when none does.
std::string GroupOfExtension(const std::string &extension);

// Groups and extensions the editors may not delete.
bool IsProtectedGroup(const std::string &group);
bool IsProtectedExtension(const std::string &extension);

// What the file-type dialog stores for what was typed: each extension
// lower-cased, with its dot and followed by ";" (" HTM; .Php" gives
// ".htm;.php;"); empty when nothing but separators was typed.
std::string FileTypeExtensions(const std::string &typed);
// Why the file-type dialog cannot store a group, or empty.
std::string FileTypeRefusal(const std::string &group, const std::string &typed);

// The edits of the file-type dialogs. The dialogs ask the questions below
// first; these only change the store.
void WriteFileTypeGroup(const std::string &group, const std::string &extensions);
// Removes the first occurrence of the extension's text with the ";" after it.
// False when the group, the extension or the right to delete it is missing.
bool DeleteFileTypeExtension(const std::string &group, const std::string &extension);
bool DeleteFileTypeGroup(const std::string &group);

std::string DeleteExtensionQuestion(const std::string &extension);
std::string DeleteGroupQuestion(const std::string &group);

} // namespace arvelo
