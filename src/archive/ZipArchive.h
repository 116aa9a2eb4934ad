#pragma once

#include "core/DateTime.h"
#include "core/TextUtils.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace arvelo {

enum TZipOverwrite : uint8_t { xowAsk = 0, xowNever = 1, xowAlways = 2 };
enum TZipReplaceAnswer : uint8_t { zraYes, zraNo, zraCancel, zraAll };

// Result codes of the archive operations.
enum TZipResult : int {
    zrSuccess = 0,
    zrNothingToDo = 10,
    zrSkipped = 40,
    zrEmpty = 50,
    zrNotFound = 100,
    zrCorrupt = 110,
    zrOutOfMemory = 120,
    zrDiskFull = 150,
    zrAborted = 190,
    zrTempFile = 280,
    zrAccess = 400,
    // Extraction refusals of our own.
    zrUnsafeName = 500,
    zrTooLarge = 510,
    zrFailed = 999,
};

// One entry of an archive as the operations report it.
struct TZipFileStats {
    std::string fileName; // with its relative folder part, "/"-separated
    uint64_t size = 0, compressedSize = 0; // an entry may hold more than 4 GiB
    int ratio = 0; // whole percent saved, 0 to 100
    TDateTime dateTime;
    std::string comment;
    // During OnStatus: the completion percentage and the bytes processed.
    int percent = 0;
    uint64_t processed = 0;
};

// The date of a zip entry: DOS date and time words; an impossible one reads
// as 1 January 1980.
TDateTime ZipEntryDate(uint16_t dosDate, uint16_t dosTime);

// A zip archive file and the operations on it, one at a time, over libzip.
// Set the properties, fill FilesToProcess and call an operation; it answers
// a result code and empties FilesToProcess.
class TZipArchive {
public:
    // Files with these extensions are stored without compression.
    static constexpr const char *kStoredExtensions = ".ZIP;.LZH;.ARC;.ARJ;.ZOO";
    // What an extraction accepts: the sum of the entries' sizes, and how
    // much larger than its compressed size a large entry may be.
    static constexpr uint64_t kMaxExtractedBytes = uint64_t(16) << 30;
    static constexpr uint64_t kMaxRatio = 200;

    std::string ZipFileName;
    StringList FilesToProcess;
    bool UsePaths = true;
    bool Recurse = false;
    std::string ExtractDirectory;
    TZipOverwrite Overwrite = xowAsk;
    int Compression = 6;
    std::string StoredExtensions = kStoredExtensions;
    // Relative names to add are read from this folder (the working folder
    // when empty); entry names are the paths relative to it.
    std::string BaseDirectory;
    // FilesToProcess holds exact entry names: "a*.htm" is that entry alone,
    // never a wildcard.
    bool ExactNames = false;

    // Adds the files (mode 0 adds and replaces, 1 only freshens entries
    // already present, 2 updates present entries and adds new ones), in one
    // update of the archive, which is created when missing.
    int Add(int mode = 0);
    // Removes the entries matching FilesToProcess (names or wildcards).
    int Delete();
    // Extracts the matching entries into ExtractDirectory. An entry that
    // would land outside it (absolute names, "..", backslashes, links) or
    // an archive that claims or expands to absurd sizes is refused as a whole.
    int Extract(int mode = 0);
    // Raises OnListing for every matching entry, in archive order.
    int List();
    int GetEntryCount();
    bool GetEntryStats(int index, TZipFileStats &stats);
    // The index of the entry with exactly this name, or -1: the last entry
    // is tried first, since that is where a running task's newest file is.
    int FindEntry(const std::string &name);

    // Any thread: stops the operation under way; every operation clears it.
    void Abort() { abort_ = true; }
    bool AbortRequested() const { return abort_.load(); }

    std::function<void(const std::string &entry)> OnAdding, OnUpdating, OnExtracting, OnDeleting;
    std::function<void(const TZipFileStats &stats)> OnStatus, OnListing;
    // The comment for an entry being added (up to 255 characters).
    std::function<std::string(const std::string &entry)> OnFileComment;
    // An extraction with xowAsk meets an existing file.
    std::function<TZipReplaceAnswer(const std::string &existing, const std::string &incoming)> OnReplace;

private:
    std::atomic<bool> abort_{false};
};

// What a result means to its caller: 0 success, 1 done (with a notice
// perhaps), 2 failed; shows at most one message box through the notifier.
// word is "adding", "deleting" or "extracting".
int ClassifyZipResult(int code, const std::string &word);
// The message box text of a result code, empty when it shows none.
std::string ZipResultMessage(int code, const std::string &word);

} // namespace arvelo
