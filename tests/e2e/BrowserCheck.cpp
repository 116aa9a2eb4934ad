#include "e2e/BrowserCheck.h"

#include "core/FileUtils.h"
#include "support/ChildProcess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QUrl>

namespace arvelo::test {
namespace {

// Checks, once everything has loaded, the images, style sheets and frames of
// each framed page (and of the frames inside it).
constexpr const char *kHarness = R"html(<!DOCTYPE html>
<html><body><pre id="out">pending</pre>
<script>
const pages = PAGES;
function check(doc, prefix, out) {
  for (const img of doc.images)
    if (!img.complete || img.naturalWidth === 0) out.push(prefix + "image " + img.getAttribute("src"));
  for (const link of doc.querySelectorAll("link[rel~=stylesheet]"))
    if (!link.sheet) out.push(prefix + "style sheet " + link.getAttribute("href"));
  for (const frame of doc.querySelectorAll("iframe, frame")) {
    let inner = null;
    try { inner = frame.contentDocument; } catch (e) {}
    if (!inner || !inner.body || inner.URL.startsWith("chrome-error"))
      out.push(prefix + "frame " + frame.getAttribute("src"));
    else
      check(inner, prefix + frame.getAttribute("src") + " > ", out);
  }
}
for (const page of pages) {
  const frame = document.createElement("iframe");
  frame.src = page;
  document.body.appendChild(frame);
}
window.onload = () => setTimeout(() => {
  const out = [];
  document.querySelectorAll("body > iframe").forEach((frame, i) => {
    const doc = frame.contentDocument;
    if (!doc || !doc.body) out.push(pages[i] + ": not loaded");
    else check(doc, pages[i] + ": ", out);
  });
  document.getElementById("out").textContent = "RESULT" + JSON.stringify(out) + "END";
}, 500);
</script></body></html>
)html";

} // namespace

std::vector<std::string> FailedLoadsInChromium(const std::vector<std::string> &pageFiles,
                                               const std::string &harnessFolder, bool &available)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    available = !program.isEmpty();
    if (!available)
        return {};
    QJsonArray pages;
    for (const std::string &file : pageFiles)
        pages.append(QUrl::fromLocalFile(QString::fromStdString(file)).toString(QUrl::FullyEncoded));
    std::string harness = kHarness;
    harness.replace(harness.find("PAGES"), 5, QJsonDocument(pages).toJson(QJsonDocument::Compact).toStdString());
    std::string harnessFile = IncludeTrailingSlash(harnessFolder) + "harness.html";
    SaveText(harnessFile, harness);

    TChildProcess chromium({program.toStdString(), "--headless=new", "--no-sandbox", "--disable-gpu",
                            "--allow-file-access-from-files", "--virtual-time-budget=5000",
                            "--user-data-dir=" + IncludeTrailingSlash(harnessFolder) + "chromium",
                            "--dump-dom", QUrl::fromLocalFile(QString::fromStdString(harnessFile)).toString().toStdString()});
    if (chromium.Wait(120) != 0)
        return {"chromium failed: " + chromium.Errors()};
    std::string dom = chromium.Output();
    size_t start = dom.find("RESULT["), end = dom.find("]END");
    if (start == std::string::npos || end == std::string::npos)
        return {"no result from the harness: " + dom.substr(0, 2000)};
    std::vector<std::string> failures;
    QJsonArray result = QJsonDocument::fromJson(QByteArray::fromStdString(dom.substr(start + 6, end - start - 5))).array();
    for (const auto &value : result)
        failures.push_back(value.toString().toStdString());
    return failures;
}

bool ScreenshotInChromium(const std::string &page, const std::string &pngFile, const std::string &harnessFolder,
                          bool &available)
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    available = !program.isEmpty();
    if (!available)
        return false;
    const std::string address =
        page.rfind("http", 0) == 0 ? page : QUrl::fromLocalFile(QString::fromStdString(page)).toString().toStdString();
    TChildProcess chromium({program.toStdString(), "--headless=new", "--no-sandbox", "--disable-gpu",
                            "--hide-scrollbars", "--force-device-scale-factor=1", "--window-size=800,600",
                            "--virtual-time-budget=5000",
                            "--user-data-dir=" + IncludeTrailingSlash(harnessFolder) + "chromium",
                            "--screenshot=" + pngFile, address});
    return chromium.Wait(120) == 0 && FileExists(pngFile);
}

} // namespace arvelo::test
