#include "core/FileUtils.h"

#include <algorithm>
#include <filesystem>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

namespace arvelo {

bool FolderUnwritable(const std::string &folder, int systemError)
{
    if (systemError == ENOSPC || systemError == EDQUOT || systemError == EROFS)
        return true;
    try {
        ForceFolders(folder);
    } catch (const EFileError &) {
        return true;
    }
    return ::access(folder.c_str(), W_OK) != 0;
}

std::string EFileError::Reason() const { return systemError_ ? std::strerror(systemError_) : what(); }

void ThrowFileError(const std::string &message)
{
    const int error = errno;
    throw EFileError(message + " (" + std::strerror(error) + ")", error);
}

namespace {

namespace fs = std::filesystem;

// Sorted entries of a folder that pass the filter; names are kept byte for byte.
template <typename Filter>
StringList FolderEntries(const std::string &folder, Filter keep)
{
    StringList names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (keep(*it, name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() { if (fd_ >= 0) ::close(fd_); }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }
private:
    int fd_;
};

void WriteAll(int fd, std::string_view bytes, const std::string &fileName)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            ThrowFileError("Unable to write file: " + fileName);
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

void SyncFolder(const std::string &folder)
{
    FileHandle dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (dir.get() >= 0)
        ::fsync(dir.get());
}

} // namespace

std::string ReadFileBytes(const std::string &fileName, bool *ok)
{
    if (ok)
        *ok = false;
    FileHandle fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return {};
    struct stat info{};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {};
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    if (ok)
        *ok = true;
    return bytes;
}

std::string LoadText(const std::string &fileName)
{
    bool ok = false;
    std::string bytes = ReadFileBytes(fileName, &ok);
    if (!ok)
        throw EFileError("Cannot open file \"" + fileName + "\"");
    return CrLfLines(bytes);
}

std::string CrLfLines(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() + 2);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        text.append(bytes, start, end - start);
        text += "\r\n";
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return text;
}

void SaveText(const std::string &fileName, std::string_view text)
{
    FileHandle fd(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        ThrowFileError("Cannot create file \"" + fileName + "\"");
    WriteAll(fd.get(), text, fileName);
}

namespace {

void Replace(const std::string &fileName, std::string_view bytes, bool flushToDisk, bool ownerOnly = false)
{
    std::string folder = ExtractFilePath(fileName);
    // Short enough for the file system whatever the length of the name.
    std::string pattern = folder + "." + ExtractFileName(fileName).substr(0, 200) + ".XXXXXX";
    std::vector<char> temp(pattern.begin(), pattern.end());
    temp.push_back('\0');
    FileHandle fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0)
        ThrowFileError("Cannot create file \"" + fileName + "\"");
    std::string tempName(temp.data());
    try {
        // Keep the mode of the file being replaced, else an ordinary file's;
        // a file that holds a password is its owner's alone from the start.
        struct stat old{};
        ::fchmod(fd.get(), ownerOnly ? 0600 : ::stat(fileName.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);
        WriteAll(fd.get(), bytes, fileName);
        if (flushToDisk && ::fsync(fd.get()) != 0)
            ThrowFileError("Unable to write file: " + fileName);
        if (::close(fd.release()) != 0)
            ThrowFileError("Unable to write file: " + fileName);
        if (::rename(tempName.c_str(), fileName.c_str()) != 0)
            ThrowFileError("Unable to replace file: " + fileName);
    } catch (...) {
        ::unlink(tempName.c_str());
        throw;
    }
    if (flushToDisk)
        SyncFolder(folder);
}

} // namespace

void WriteFileAtomic(const std::string &fileName, std::string_view bytes, bool ownerOnly)
{
    Replace(fileName, bytes, true, ownerOnly);
}

void ReplaceFile(const std::string &fileName, std::string_view bytes) { Replace(fileName, bytes, false); }

void CreateOrReplaceFile(const std::string &fileName, std::string_view bytes)
{
    // A file that is not there yet is written in place: there is no old one
    // to keep, and most files of a copy are new (a temporary name, its mode
    // and a rename cost three more calls per file).
    FileHandle fd(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0) {
        Replace(fileName, bytes, false);
        return;
    }
    try {
        WriteAll(fd.get(), bytes, fileName);
        if (::close(fd.release()) != 0)
            ThrowFileError("Unable to write file: " + fileName);
    } catch (...) {
        ::unlink(fileName.c_str());
        throw;
    }
}

void AppendFileSynced(const std::string &fileName, std::string_view bytes)
{
    const bool created = !FileExists(fileName);
    FileHandle fd(::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        ThrowFileError("Cannot create file \"" + fileName + "\"");
    WriteAll(fd.get(), bytes, fileName);
    if (::fdatasync(fd.get()) != 0)
        ThrowFileError("Unable to write file: " + fileName);
    if (created)
        SyncFolder(ExtractFilePath(fileName));
}

bool FileExists(const std::string &path)
{
    struct stat info{};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool FolderExists(const std::string &path)
{
    struct stat info{};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void ForceFolders(const std::string &path)
{
    std::error_code error;
    if (path.empty())
        throw EFileError("Unable to create directory");
    if (!fs::create_directories(path, error) && !FolderExists(path)) {
        // A file where a folder should be gives no error of its own.
        const int code = error ? error.value() : ENOTDIR;
        throw EFileError("Unable to create directory " + path + " (" + std::strerror(code) + ")", code);
    }
}

std::string ExtractFilePath(std::string_view fileName)
{
    size_t slash = fileName.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(fileName.substr(0, slash + 1));
}

std::string ExtractFileName(std::string_view fileName)
{
    size_t slash = fileName.rfind('/');
    return std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}

std::string ExtractFileExt(std::string_view fileName)
{
    std::string name = ExtractFileName(fileName);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(std::string_view fileName, std::string_view ext)
{
    std::string ownExt = ExtractFileExt(fileName);
    return std::string(fileName.substr(0, fileName.size() - ownExt.size())) + std::string(ext);
}

std::string IncludeTrailingSlash(std::string_view path)
{
    std::string out(path);
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

std::string ExcludeTrailingSlash(std::string_view path)
{
    std::string out(path);
    if (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

std::string BaseFileName(std::string_view fileName)
{
    std::string name = ExtractFileName(fileName);
    std::string ext = ExtractFileExt(name);
    if (!ext.empty())
        name.erase(name.find(ext), ext.size());
    return name;
}

std::string UniqueFileName(const std::string &fileName)
{
    if (!FileExists(fileName) && !FolderExists(fileName))
        return fileName;
    std::string ext = ExtractFileExt(fileName);
    std::string stem = fileName.substr(0, fileName.size() - ext.size());
    for (unsigned n = 0;; ++n) {
        std::string candidate = stem + "(" + std::to_string(n) + ")" + ext;
        if (!FileExists(candidate) && !FolderExists(candidate))
            return candidate;
    }
}

bool CopyFileForce(const std::string &source, const std::string &target)
{
    try {
        std::string folder = ExtractFilePath(target);
        if (!folder.empty() && !FolderExists(folder))
            ForceFolders(folder);
        bool ok = false;
        std::string bytes = ReadFileBytes(source, &ok);
        if (!ok)
            return false;
        SaveText(target, bytes);
        return true;
    } catch (const EFileError &) {
        return false;
    }
}

void KeepUnderSecondName(const std::string &fileName, const std::string &secondName)
{
    ::unlink(secondName.c_str());
    if (::link(fileName.c_str(), secondName.c_str()) == 0)
        return;
    // Named after the file: it is what cannot be saved.
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK)
        ThrowFileError("Cannot create file \"" + fileName + "\"");
    bool read = false;
    std::string bytes = ReadFileBytes(fileName, &read);
    if (!read)
        ThrowFileError("Failed to read file: " + fileName);
    SaveText(secondName, bytes);
}

bool RenameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link fails on an existing target.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

std::string SlashesToBackslashes(std::string_view text)
{
    std::string out(text);
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string BackslashesToSlashes(std::string_view text)
{
    std::string out(text);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

StringList PathPrefixes(std::string_view path)
{
    StringList prefixes;
    for (size_t pos = path.find('/'); pos != std::string_view::npos; pos = path.find('/', pos + 1)) {
        std::string prefix(path.substr(0, pos + 1));
        if (std::find(prefixes.begin(), prefixes.end(), prefix) == prefixes.end())
            prefixes.push_back(std::move(prefix));
    }
    return prefixes;
}

std::string LastFolderName(std::string_view path)
{
    std::string folder = ExcludeTrailingSlash(path);
    if (folder == "/")
        return {};
    return ExtractFileName(folder);
}

StringList FolderFiles(const std::string &folder, const std::string &mask)
{
    return FolderEntries(folder, [&](const fs::directory_entry &entry, const std::string &name) {
        std::error_code error;
        return entry.is_regular_file(error) && ::fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD) == 0;
    });
}

StringList SubFolders(const std::string &folder)
{
    return FolderEntries(folder, [](const fs::directory_entry &entry, const std::string &) {
        std::error_code error;
        return entry.is_directory(error);
    });
}

std::string WindowsFolder() { return "/usr/share/"; }

} // namespace arvelo
