#include "ui/support/WindowFixture.h"

#include "core/FileUtils.h"
#include "model/Profile.h"
#include "model/Task.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"
#include "ui/support/Modal.h"

#include <QDesktopServices>
#include <QTest>

#include <cstdlib>
#include <sys/stat.h>

namespace arvelo::test {

void WindowFixture::SetUp()
{
    TestHome::SetUp();
    ImportShippedFileTypes();
    WriteSite(Path("www/"));
    app = std::make_unique<TAVApp>();
    app->RunFirstRun();
    app->SetNoAds(true);
    app->SetConnections(4);
    // Nothing a test does opens a real browser: the "Browser" program is a
    // stub that notes its arguments, the default browser a recorder.
    const std::string stub = Path("bin/browser");
    WriteFile("bin/browser", "#!/bin/sh\nprintf '%s\\037' \"$@\" >> '" + Path("browser-starts") + "'\necho >> '" +
                                 Path("browser-starts") + "'\n");
    chmod(stub.c_str(), 0755);
    app->SetBrowser(stub);
    for (const char *scheme : {"file", "http", "https"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &opened, "Open");
}

std::vector<std::vector<std::string>> WindowFixture::BrowserStarts() const
{
    std::vector<std::vector<std::string>> starts;
    const std::string text = ReadFileBytes(Path("browser-starts"));
    for (size_t from = 0, to; (to = text.find('\n', from)) != std::string::npos; from = to + 1) {
        const std::string line = text.substr(from, to - from);
        starts.emplace_back();
        for (size_t at = 0, end; (end = line.find('\037', at)) != std::string::npos; at = end + 1)
            starts.back().push_back(line.substr(at, end - at));
    }
    return starts;
}

void WindowFixture::TearDown()
{
    ForgetModalWatchers();
    window.reset();
    app.reset();
    server.reset();
    for (const char *scheme : {"file", "http", "https"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    TestHome::TearDown();
}

void WindowFixture::OpenWindow()
{
    window.reset();
    window = std::make_unique<TFormArvelo>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

void WindowFixture::CloseWindow() { window.reset(); }

void WindowFixture::StartServer(bool slow)
{
    server = StartSiteServer(Path("www"), slow);
    ASSERT_TRUE(server->Running()) << server->Error();
}

void WindowFixture::WriteTask(const std::string &name, const std::string &address)
{
    TAVTask task;
    task.taskName = name;
    task.category = "General";
    task.taskFile = app->TasksFolder() + "General/" + name + ".avt";
    task.url = address;
    task.intranetMode = true;
    task.destination = Path("copy-" + name + "/");
    task.profile.profileName = "Custom";
    task.Save();
}

void WindowFixture::WriteProfile(const std::string &name)
{
    TAVProfile profile;
    profile.file = app->ProfilesFolder() + name + ".avp";
    profile.profileName = name;
    profile.Save();
}

} // namespace arvelo::test
