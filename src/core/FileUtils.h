#pragma once

#include "core/TextUtils.h"

#include <stdexcept>
#include <string>
#include <string_view>

// File and folder helpers. Paths use "/"; folder paths end in "/".
namespace arvelo {

class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    // With the system's error number, whose text alone is what a user is
    // shown of a file that could not be written ("No space left on device").
    EFileError(const std::string &message, int systemError)
        : std::runtime_error(message), systemError_(systemError) {}
    int SystemError() const { return systemError_; }
    // The system's text for it, or the whole message when there is none.
    std::string Reason() const;

private:
    int systemError_ = 0;
};

// Appends the bytes to the file (created when missing) and flushes them to
// the disk before returning, so that they survive a power loss. Throws EFileError.
void AppendFileSynced(const std::string &fileName, std::string_view bytes);

// Whether a write that failed with the system error says that nothing can be
// written into the folder: the disk is full or read-only, or the folder is
// not one that can be made and written in.
bool FolderUnwritable(const std::string &folder, int systemError);

// Throws EFileError for the system error in errno: the message, then the
// system's text in brackets.
[[noreturn]] void ThrowFileError(const std::string &message);

// The file's lines joined with CR LF after every line, the last one included.
std::string LoadText(const std::string &fileName);
// The same for text already read.
std::string CrLfLines(std::string_view bytes);
// The file's bytes; empty when it cannot be read (ok says which).
std::string ReadFileBytes(const std::string &fileName, bool *ok = nullptr);
// Creates or replaces the file with text. Throws EFileError on failure.
void SaveText(const std::string &fileName, std::string_view text);
// Replaces the file as one step: a temporary file beside it is written and
// flushed to disk, then renamed over it. A crash leaves the old file or the
// new one, never a mix. Throws EFileError on failure.
// ownerOnly: the file holds a password, readable and writable by its owner alone.
void WriteFileAtomic(const std::string &fileName, std::string_view bytes, bool ownerOnly = false);
// The same without waiting for the disk: readers see the old file or the
// new one, for files that can be made again (downloaded pages, reports).
void ReplaceFile(const std::string &fileName, std::string_view bytes);
// The same, but a file that is not there yet is written in place under its
// name (a fetched file, which is fetched again if a crash cuts it short).
void CreateOrReplaceFile(const std::string &fileName, std::string_view bytes);

bool FileExists(const std::string &path);
bool FolderExists(const std::string &path);
// Creates the folder and its missing parents. Throws EFileError
// ("Unable to create directory") when the path is empty or creation fails.
void ForceFolders(const std::string &path);

std::string ExtractFilePath(std::string_view fileName); // folder with its trailing "/"
std::string ExtractFileName(std::string_view fileName);
std::string ExtractFileExt(std::string_view fileName);  // with its dot, or empty
std::string ChangeFileExt(std::string_view fileName, std::string_view ext);
std::string IncludeTrailingSlash(std::string_view path);
std::string ExcludeTrailingSlash(std::string_view path);

std::string BaseFileName(std::string_view fileName);
std::string UniqueFileName(const std::string &fileName);
bool CopyFileForce(const std::string &source, const std::string &target);
// Gives the file's present bytes a second name that keeps them when the file
// is later replaced: a hard link, or a copy where links are not supported.
// An existing file of that name is replaced. Throws EFileError.
void KeepUnderSecondName(const std::string &fileName, const std::string &secondName);
// Renames without ever replacing an existing target. False when the target
// exists or the rename fails.
bool RenameNoReplace(const std::string &from, const std::string &to);

std::string SlashesToBackslashes(std::string_view text);
std::string BackslashesToSlashes(std::string_view text);
StringList PathPrefixes(std::string_view path);
std::string LastFolderName(std::string_view path);

// Names of the folder's files matching a shell mask ("*.avt"; case ignored), sorted.
StringList FolderFiles(const std::string &folder, const std::string &mask);
StringList SubFolders(const std::string &folder);
// The system's folder of shared program data.
std::string WindowsFolder();

} // namespace arvelo
