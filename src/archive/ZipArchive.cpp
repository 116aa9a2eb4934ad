#include "archive/ZipArchive.h"

#include "core/FileUtils.h"
#include "core/Notifier.h"

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fnmatch.h>
#include <fstream>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace arvelo {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kLargeEntry = 1 << 20;

struct TZipCloser {
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using TZipHandle = std::unique_ptr<zip_t, TZipCloser>;

int CodeOfZipError(int zipCode, int systemCode)
{
    switch (zipCode) {
    case ZIP_ER_OK: return zrSuccess;
    case ZIP_ER_NOENT: return zrNotFound;
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_CRC:
    case ZIP_ER_EOF:
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_ZLIB: return zrCorrupt;
    case ZIP_ER_MEMORY: return zrOutOfMemory;
    case ZIP_ER_CANCELLED: return zrAborted;
    case ZIP_ER_TMPOPEN:
        return systemCode == ENOSPC || systemCode == EDQUOT ? zrDiskFull : zrTempFile;
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE:
    case ZIP_ER_RENAME:
    case ZIP_ER_SEEK:
        return systemCode == ENOSPC || systemCode == EDQUOT ? zrDiskFull : zrAccess;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_RDONLY: return zrAccess;
    default: return zrFailed;
    }
}

int CodeOf(zip_error_t *error) { return CodeOfZipError(zip_error_code_zip(error), zip_error_code_system(error)); }

// Opens the archive; 0 or a result code.
int Open(const std::string &file, int flags, TZipHandle &handle)
{
    int error = 0;
    zip_t *archive = zip_open(file.c_str(), flags, &error);
    if (!archive) {
        zip_error_t details;
        zip_error_init_with_code(&details, error);
        int code = CodeOfZipError(error, zip_error_code_system(&details));
        zip_error_fini(&details);
        return code;
    }
    handle.reset(archive);
    return zrSuccess;
}

// Entry names and wildcards; names are looked up, so that matching every
// entry of a large archive by its name stays linear.
class TNameMatcher {
public:
    TNameMatcher(const StringList &patterns, bool exact)
    {
        for (const std::string &pattern : patterns) {
            if (exact || pattern.find_first_of("*?[") == std::string::npos)
                names_.insert(pattern);
            else
                wildcards_.push_back(pattern);
        }
    }
    bool Empty() const { return names_.empty() && wildcards_.empty(); }
    bool operator()(const std::string &name) const
    {
        if (names_.count(name))
            return true;
        for (const std::string &wildcard : wildcards_)
            if (fnmatch(wildcard.c_str(), name.c_str(), 0) == 0)
                return true;
        return false;
    }

private:
    std::unordered_set<std::string> names_;
    std::vector<std::string> wildcards_;
};

bool IsLink(zip_t *archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// A name that stays inside the folder it is extracted into.
bool SafeEntryName(const std::string &name)
{
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos)
        return false;
    if (name.size() >= 2 && name[1] == ':')
        return false; // a drive letter
    size_t start = 0;
    while (start <= name.size()) {
        size_t slash = name.find('/', start);
        std::string segment = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (segment == "..")
            return false;
        if (slash == std::string::npos)
            break;
        start = slash + 1;
    }
    return true;
}

uint16_t Read16(const unsigned char *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Read32(const unsigned char *p) { return Read16(p) | (static_cast<uint32_t>(Read16(p + 2)) << 16); }

// The stored DOS date and time words of every entry, in central directory
// order, read from the file itself: libzip only hands out converted times,
// and an impossible stored date must be recognised as one.
// Up to size bytes of a file from offset.
std::string ReadAt(std::ifstream &in, uint64_t offset, uint64_t size)
{
    std::string bytes(size, '\0');
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(in ? size : static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    in.clear();
    return bytes;
}

std::vector<std::pair<uint16_t, uint16_t>> StoredDates(const std::string &file)
{
    // Only the end record and the central directory are read, however
    // large the archive is.
    std::vector<std::pair<uint16_t, uint16_t>> dates;
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in)
        return dates;
    uint64_t fileSize = static_cast<uint64_t>(in.tellg());
    uint64_t tailSize = std::min<uint64_t>(fileSize, 65535 + 22);
    std::string tail = ReadAt(in, fileSize - tailSize, tailSize);
    if (tail.size() < 22)
        return dates;
    const auto *data = reinterpret_cast<const unsigned char *>(tail.data());
    size_t end = std::string::npos;
    for (size_t at = tail.size() - 22 + 1; at-- > 0;) {
        if (Read32(data + at) == 0x06054b50) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos)
        return dates;
    uint16_t count = Read16(data + end + 10);
    uint32_t directorySize = Read32(data + end + 12), offset = Read32(data + end + 16);
    if (uint64_t(offset) + directorySize > fileSize)
        return dates;
    std::string directory = ReadAt(in, offset, directorySize);
    data = reinterpret_cast<const unsigned char *>(directory.data());
    size_t at = 0;
    for (uint16_t i = 0; i < count && at + 46 <= directory.size() && Read32(data + at) == 0x02014b50; ++i) {
        dates.emplace_back(Read16(data + at + 14), Read16(data + at + 12));
        at += 46 + Read16(data + at + 28) + Read16(data + at + 30) + Read16(data + at + 32);
    }
    return dates;
}

TZipFileStats StatsOf(zip_t *archive, zip_uint64_t index, const std::vector<std::pair<uint16_t, uint16_t>> &dates)
{
    TZipFileStats stats;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, index, 0, &st) != 0)
        return stats;
    stats.fileName = st.name ? st.name : "";
    stats.size = st.size;
    stats.compressedSize = st.comp_size;
    stats.ratio = st.size > 0 && st.comp_size < st.size ? static_cast<int>(100 - st.comp_size * 100 / st.size) : 0;
    if (index < dates.size())
        stats.dateTime = ZipEntryDate(dates[index].first, dates[index].second);
    else
        stats.dateTime = ZipEntryDate(0, 0);
    zip_uint32_t length = 0;
    if (const char *comment = zip_file_get_comment(archive, index, &length, 0))
        stats.comment.assign(comment, length);
    return stats;
}

bool StoredByExtension(const std::string &stored, const std::string &name)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find('/', dot) != std::string::npos)
        return false;
    return LowerAscii(";" + stored + ";").find(";" + LowerAscii(name.substr(dot)) + ";") != std::string::npos;
}

// libzip hands its progress and cancel callbacks the same state.
struct TCallbackState {
    TZipArchive *archive;
    TZipFileStats stats;
};

void WatchAbort(zip_t *archive, TCallbackState &state)
{
    zip_register_cancel_callback_with_state(
        archive, [](zip_t *, void *data) { return static_cast<TCallbackState *>(data)->archive->AbortRequested() ? 1 : 0; },
        nullptr, &state);
}

} // namespace

TDateTime ZipEntryDate(uint16_t dosDate, uint16_t dosTime)
{
    int day = dosDate & 31, month = (dosDate >> 5) & 15, year = 1980 + (dosDate >> 9);
    int twoSeconds = dosTime & 31, minute = (dosTime >> 5) & 63, hour = dosTime >> 11;
    TDateTime fallback = TDateTime::FromParts(1980, 1, 1);
    if (month == 0 || month > 12 || day == 0 || hour > 24 || minute >= 60 || twoSeconds >= 30)
        return fallback;
    TDateTime value = TDateTime::FromParts(year, month, day, hour, minute, twoSeconds * 2);
    return value.IsZero() ? fallback : value;
}

int TZipArchive::Add(int mode)
{
    abort_ = false;
    StringList names;
    names.swap(FilesToProcess);
    if (names.empty())
        return zrNothingToDo;
    // Every file to add with its entry name.
    std::vector<std::pair<std::string, std::string>> files;
    int skipped = 0;
    std::string base = BaseDirectory.empty() ? std::string() : IncludeTrailingSlash(BaseDirectory);
    auto entryOf = [&](const std::string &name) {
        std::string entry = name;
        while (!entry.empty() && entry[0] == '/')
            entry.erase(0, 1);
        return UsePaths ? entry : ExtractFileName(entry);
    };
    for (const std::string &name : names) {
        std::string path = !name.empty() && name[0] == '/' ? name : base + name;
        std::error_code error;
        if (fs::is_directory(path, error)) {
            if (!Recurse)
                continue;
            for (auto it = fs::recursive_directory_iterator(path, error); it != fs::recursive_directory_iterator();
                 it.increment(error)) {
                if (error)
                    break;
                // The archive never takes itself in.
                std::error_code same;
                if (it->is_regular_file() && !fs::equivalent(it->path(), ZipFileName, same)) {
                    std::string full = it->path().string();
                    files.emplace_back(full, entryOf(name + full.substr(path.size())));
                }
            }
        } else if (::access(path.c_str(), R_OK) == 0 && fs::is_regular_file(path, error)) {
            files.emplace_back(path, entryOf(name));
        } else {
            ++skipped;
        }
    }
    if (files.empty())
        return skipped ? zrAccess : zrNothingToDo;

    TZipHandle archive;
    if (int code = Open(ZipFileName, ZIP_CREATE, archive))
        return code;
    for (const auto &[path, entry] : files) {
        zip_int64_t existing = zip_name_locate(archive.get(), entry.c_str(), 0);
        if (mode == 1 || mode == 2) {
            if (existing < 0 && mode == 1)
                continue;
            if (existing >= 0) {
                zip_stat_t st;
                struct stat info;
                if (zip_stat_index(archive.get(), existing, 0, &st) == 0 && ::stat(path.c_str(), &info) == 0 &&
                    info.st_mtime <= st.mtime)
                    continue;
            }
        }
        if (existing >= 0 ? static_cast<bool>(OnUpdating) : static_cast<bool>(OnAdding))
            (existing >= 0 ? OnUpdating : OnAdding)(entry);
        zip_source_t *source = zip_source_file_create(path.c_str(), 0, -1, nullptr);
        if (!source) {
            ++skipped;
            continue;
        }
        // A replaced entry is removed and added anew: libzip 1.7 crashes when
        // the comment of an entry overwritten in place is set.
        if (existing >= 0)
            zip_delete(archive.get(), existing);
        zip_int64_t index = zip_file_add(archive.get(), entry.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            ++skipped;
            continue;
        }
        bool store = Compression <= 0 || StoredByExtension(StoredExtensions, entry);
        zip_set_file_compression(archive.get(), index, store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 store ? 0 : static_cast<zip_uint32_t>(std::min(Compression, 9)));
        struct stat info;
        if (::stat(path.c_str(), &info) == 0)
            zip_file_set_mtime(archive.get(), index, info.st_mtime, 0);
        if (OnFileComment) {
            std::string comment = OnFileComment(entry).substr(0, 255);
            zip_file_set_comment(archive.get(), index, comment.c_str(), static_cast<zip_uint16_t>(comment.size()),
                                 ZIP_FL_ENC_UTF_8);
        }
    }
    TCallbackState state{this, {}};
    zip_register_progress_callback_with_state(
        archive.get(), 0.01,
        [](zip_t *, double progress, void *data) {
            auto *s = static_cast<TCallbackState *>(data);
            s->stats.percent = static_cast<int>(progress * 100 + 0.5);
            if (s->archive->OnStatus)
                s->archive->OnStatus(s->stats);
        },
        nullptr, &state);
    WatchAbort(archive.get(), state);
    if (zip_close(archive.get()) != 0)
        return CodeOf(zip_get_error(archive.get()));
    archive.release();
    return skipped ? zrSkipped : zrSuccess;
}

int TZipArchive::Delete()
{
    abort_ = false;
    TNameMatcher matches(FilesToProcess, ExactNames);
    FilesToProcess.clear();
    TZipHandle archive;
    if (int code = Open(ZipFileName, 0, archive))
        return code;
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    int deleted = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(archive.get(), i, 0);
        if (!name || !matches(name))
            continue;
        if (OnDeleting)
            OnDeleting(name);
        if (zip_delete(archive.get(), i) == 0)
            ++deleted;
    }
    if (deleted == 0)
        return zrNothingToDo;
    TCallbackState state{this, {}};
    WatchAbort(archive.get(), state);
    if (zip_close(archive.get()) != 0)
        return CodeOf(zip_get_error(archive.get()));
    archive.release();
    return zrSuccess;
}

int TZipArchive::GetEntryCount()
{
    TZipHandle archive;
    if (Open(ZipFileName, ZIP_RDONLY, archive))
        return 0;
    return static_cast<int>(zip_get_num_entries(archive.get(), 0));
}

bool TZipArchive::GetEntryStats(int index, TZipFileStats &stats)
{
    TZipHandle archive;
    if (index < 0 || Open(ZipFileName, ZIP_RDONLY, archive))
        return false;
    if (static_cast<zip_int64_t>(index) >= zip_get_num_entries(archive.get(), 0))
        return false;
    stats = StatsOf(archive.get(), index, StoredDates(ZipFileName));
    return true;
}

int TZipArchive::FindEntry(const std::string &name)
{
    TZipHandle archive;
    if (Open(ZipFileName, ZIP_RDONLY, archive))
        return -1;
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count > 0) {
        const char *last = zip_get_name(archive.get(), count - 1, 0);
        if (last && name == last)
            return static_cast<int>(count - 1);
    }
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *entry = zip_get_name(archive.get(), i, 0);
        if (entry && name == entry)
            return static_cast<int>(i);
    }
    return -1;
}

int TZipArchive::List()
{
    abort_ = false;
    TNameMatcher matches(FilesToProcess, ExactNames);
    FilesToProcess.clear();
    TZipHandle archive;
    if (int code = Open(ZipFileName, ZIP_RDONLY, archive))
        return code;
    auto dates = StoredDates(ZipFileName);
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count && !abort_; ++i) {
        const char *name = zip_get_name(archive.get(), i, 0);
        if (!name || (!matches.Empty() && !matches(name)))
            continue;
        if (OnListing)
            OnListing(StatsOf(archive.get(), i, dates));
    }
    return abort_ ? zrAborted : count == 0 ? zrEmpty : zrSuccess;
}

int TZipArchive::Extract(int)
{
    abort_ = false;
    TNameMatcher matches(FilesToProcess, ExactNames);
    FilesToProcess.clear();
    TZipHandle archive;
    if (int code = Open(ZipFileName, ZIP_RDONLY, archive))
        return code;
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count == 0)
        return zrEmpty;
    // Everything is judged before anything is written.
    struct TEntry {
        zip_uint64_t index;
        std::string name;
        uint64_t size;
    };
    std::vector<TEntry> entries;
    uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), i, 0, &st) != 0 || !st.name)
            return zrCorrupt;
        std::string name = st.name;
        if (!matches(name))
            continue;
        if (!SafeEntryName(name) || IsLink(archive.get(), i))
            return zrUnsafeName;
        if (st.size > kLargeEntry && st.size / std::max<uint64_t>(st.comp_size, 1) > kMaxRatio)
            return zrTooLarge;
        total += st.size;
        if (total > kMaxExtractedBytes)
            return zrTooLarge;
        entries.push_back({static_cast<zip_uint64_t>(i), name, st.size});
    }
    if (entries.empty())
        return zrNothingToDo;
    std::string root = IncludeTrailingSlash(ExtractDirectory);
    ForceFolders(root);
    struct statvfs space;
    if (::statvfs(root.c_str(), &space) == 0 && uint64_t(space.f_bavail) * space.f_frsize < total)
        return zrDiskFull;
    std::error_code error;
    const std::string realRoot = IncludeTrailingSlash(fs::weakly_canonical(root, error).string());
    auto relativeOf = [this](const TEntry &entry) {
        bool folder = entry.name.back() == '/';
        return UsePaths ? entry.name
                        : ExtractFileName(folder ? entry.name.substr(0, entry.name.size() - 1) : entry.name);
    };
    // A folder already in the target may be a link that leads elsewhere:
    // every entry's folder is judged, as the file system resolves it, before
    // anything is written.
    for (const TEntry &entry : entries) {
        std::string folderPath = ExtractFilePath(root + relativeOf(entry));
        std::string realFolder = IncludeTrailingSlash(fs::weakly_canonical(folderPath, error).string());
        if (error || realFolder.rfind(realRoot, 0) != 0)
            return zrUnsafeName;
    }

    int skipped = 0;
    bool all = Overwrite == xowAlways;
    std::vector<char> buffer(64 * 1024);
    for (const TEntry &entry : entries) {
        if (abort_)
            return zrAborted;
        std::string relative = relativeOf(entry);
        if (entry.name.back() == '/') {
            if (UsePaths)
                ForceFolders(root + relative);
            continue;
        }
        std::string target = root + relative;
        std::string folderPath = ExtractFilePath(target);
        ForceFolders(folderPath);
        if (FileExists(target) && !all) {
            if (Overwrite == xowNever) {
                ++skipped;
                continue;
            }
            TZipReplaceAnswer answer = OnReplace ? OnReplace(target, entry.name) : zraYes;
            if (answer == zraCancel)
                return zrAborted;
            if (answer == zraNo) {
                ++skipped;
                continue;
            }
            all = answer == zraAll;
        }
        if (OnExtracting)
            OnExtracting(entry.name);
        zip_file_t *in = zip_fopen_index(archive.get(), entry.index, 0);
        if (!in)
            return CodeOf(zip_get_error(archive.get()));
        std::string temp = folderPath + ".arvelo-XXXXXX";
        int out = ::mkstemp(temp.data());
        if (out < 0) {
            zip_fclose(in);
            return errno == ENOSPC ? zrDiskFull : zrAccess;
        }
        uint64_t written = 0;
        int result = zrSuccess;
        TZipFileStats stats;
        stats.fileName = entry.name;
        stats.size = entry.size;
        for (;;) {
            zip_int64_t got = zip_fread(in, buffer.data(), buffer.size());
            if (got < 0) {
                result = zrCorrupt;
                break;
            }
            if (got == 0)
                break;
            written += static_cast<uint64_t>(got);
            // More data than the entry claims: the archive lies about its sizes.
            if (written > entry.size) {
                result = zrTooLarge;
                break;
            }
            if (::write(out, buffer.data(), static_cast<size_t>(got)) != got) {
                result = errno == ENOSPC ? zrDiskFull : zrAccess;
                break;
            }
            if (abort_) {
                result = zrAborted;
                break;
            }
            stats.processed = written;
            stats.percent = entry.size ? static_cast<int>(written * 100 / entry.size) : 100;
            if (OnStatus)
                OnStatus(stats);
        }
        zip_fclose(in);
        ::close(out);
        if (result == zrSuccess && ::rename(temp.c_str(), target.c_str()) != 0)
            result = zrAccess;
        if (result != zrSuccess) {
            ::unlink(temp.c_str());
            return result;
        }
        ::chmod(target.c_str(), 0644);
    }
    return skipped ? zrSkipped : zrSuccess;
}

std::string ZipResultMessage(int code, const std::string &word)
{
    static const std::map<int, std::string> kFixed = {
        {100, "Could not find the archive file."},
        {110, "The archive file is corrupted. Try using the Fix option on it."},
        {160, "The archive file is corrupted. Try using the Fix option on it."},
        {180, "Another application is currently performing a similar task. Wait until the other application "
              "has completed its operation."},
        {200, "Test failed - Errors in the archive."},
        {210, "No files ended up being tested in the archive."},
        {240, "The XCDZIP32.DLL or the XCDUNZ32.DLL file could not be found."},
        {280, "Problem with the temporary file."},
        {350, "Attempt to remove parent directory."},
        {370, "Names repeated in archive after discarding pathnames."},
        {380, "Could not update the Zip archive date. Archive only contains directories or is empty."},
        {400, "Could not access the Zip file or one of the files to process."},
        {410, "Attempt to work with a multiple-disk Zip archive, but not in multidisk mode."},
        {420, "Wrong disk was inserted too many times."},
        {zrUnsafeName, "The archive holds names that would be written outside the target folder (absolute "
                       "names, \"..\", backslashes or links). Nothing was extracted."},
        {zrTooLarge, "The archive claims or expands to an absurd size. Nothing more was extracted."},
    };
    if (code <= 0 || code == 10 || code == 30 || code == 140 || code == 190)
        return {};
    if (code == 40)
        return "Some files were skipped while " + word + ".";
    if (code == 50)
        return "The Zip file is empty.";
    if (code == 120)
        return "Ran out of memory while " + word + ".";
    if (code == 150)
        return "Disk full while " + word + ".";
    auto found = kFixed.find(code);
    if (found != kFixed.end())
        return found->second;
    return "An error occured while " + word + " the specified files.";
}

int ClassifyZipResult(int code, const std::string &word)
{
    std::string message = ZipResultMessage(code, word);
    int outcome = code <= 0 ? 0 : (code == 10 || code == 30 || code == 140 || code == 40 || code == 50) ? 1 : 2;
    if (!message.empty()) {
        if (outcome == 1)
            Notifier().Information(message);
        else
            Notifier().Error(message);
    }
    return outcome;
}

} // namespace arvelo
