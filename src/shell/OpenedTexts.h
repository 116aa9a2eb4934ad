#pragma once

#include <string>
#include <vector>

namespace arvelo {

// Where texts to open come from: a drop on the window, the program's first
// argument, or an argument a second start handed over.
enum class TOpenSource { kDrop, kArgument, kSecondInstance };

// What they are taken for.
enum class TOpenKind {
    kNothing,
    kAddress, // a task for the address, with a profile the user picks
    kArchive, // an archive to open
    kTask,    // a task file to add to the task manager
    kFiles,   // files for the zip wizard
};

struct TOpened {
    TOpenKind kind = TOpenKind::kNothing;
    // The address, or the local paths (file URLs turned into paths).
    std::vector<std::string> texts;
};

// Decides what texts to open are taken for. A drop of one address opens it,
// of one ".zip" or ".avt" file the archive or task, of several entries the
// zip wizard; the first argument is an "http://" address, a task or an
// archive; a second start's arguments are tasks or archives only. File
// managers drag files as "file://" URLs, which are files, not addresses.
TOpened ClassifyOpened(const std::vector<std::string> &texts, TOpenSource source);

// The local path of a "file://" URL (escapes decoded), else the text as it is.
std::string LocalPathOf(const std::string &text);

} // namespace arvelo
