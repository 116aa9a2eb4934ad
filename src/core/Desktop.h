#pragma once

#include <optional>
#include <string>
#include <vector>

namespace arvelo {

// Starts a program on its own, each argument passed as it is (no shell
// reads them). False, with the reason shown, when it cannot start.
bool StartProgram(const std::string &program, const std::vector<std::string> &arguments);

// A desktop application entry (a .desktop file), as far as starting it goes.
struct TDesktopEntry {
    std::string file;    // the entry's own file
    std::string icon;    // an icon theme name, or a picture's path
    std::string program; // the Exec program, found on PATH; empty when it is not there
    // The Exec arguments after the program, without the field codes
    // ("%u", "%F", ...) where the file or address goes.
    std::vector<std::string> parameters;
};

// The entry of that id ("firefox.desktop") in the desktop's applications
// folders (XDG_DATA_HOME, then XDG_DATA_DIRS), or none.
std::optional<TDesktopEntry> FindDesktopEntry(const std::string &id);
// The desktop's default application for the MIME type, as its mimeapps.list
// files (XDG_CONFIG_HOME, XDG_CONFIG_DIRS, then the applications folders)
// name it: the first listed entry that exists.
std::optional<TDesktopEntry> DefaultApplication(const std::string &mimeType);

// The program of the desktop's default browser (the default for http
// addresses, else for HTML files), and its parameters; empty when none.
std::string DefaultBrowserProgram(std::vector<std::string> *parameters = nullptr);
// A browser other than the default one: the first of firefox, chromium,
// epiphany, falkon and konqueror on PATH that is not the default; empty when none.
std::string SecondBrowserProgram(const std::string &defaultProgram);
// Opens the address in the default browser: false when there is none or it
// does not start.
bool OpenUrl(const std::string &url);
// The icon of the program's desktop entry (found by its Exec program), or empty.
std::string ProgramIcon(const std::string &program);
// Opens the file in the desktop's text editor (the default for text/plain).
bool OpenInTextEditor(const std::string &file);

} // namespace arvelo
