#pragma once

#include "support/NginxServer.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace arvelo::test {

// The small website that the copy tests and the window tests fetch.

// Its files by path ("index.html").
const std::map<std::string, std::string> &SiteFiles();
// Where a copy keeps each address of the site, by its path on the server
// ("list.html?id=1"): file names relative to the copy folder. Written out
// rather than asked of the engine, so that a fault in its naming cannot
// hide behind its own answer.
// The folder a copy keeps a test server's files in: its host and port
// ("127.0.0.1_8103"), from any of its addresses.
std::string ServerFolderOf(const std::string &address);
// SiteLocalNames' names are under the folder of the site server started
// last, or of the one named here (a server that redirects to it).
void SetSiteServerFolder(const std::string &folder);
const std::map<std::string, std::string> &SiteLocalNames();
// The addresses a complete copy holds, by their paths on the server.
std::vector<std::string> SiteCopiedPaths();
// What a copy of those addresses holds: sorted file names below the copy.
std::vector<std::string> SiteExpectedFiles(const std::vector<std::string> &paths);
// The copy's files below the folder, without the reports that the end of a
// run writes beside them ("!"-names, the "!images/" folder, and the
// temporary file of a report being written).
std::vector<std::string> CopiedFilesUnder(const std::string &folder);

// Writes the site's files below the folder (ending in "/").
void WriteSite(const std::string &folder);
// nginx serving the folder; a slow server sends the files under slow/ at
// 16 KB/s. Extra lines go into its server block.
std::unique_ptr<TNginxServer> StartSiteServer(const std::string &folder, bool slow = false,
                                              const std::string &extraLines = {},
                                              std::optional<TCertificate> certificate = {});
// The target of a request line of the server's log ("GET /a.html 200 -").
std::string RequestTarget(const std::string &request);

} // namespace arvelo::test
