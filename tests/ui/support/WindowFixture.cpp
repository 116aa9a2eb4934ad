#include "ui/support/WindowFixture.h"

#include "core/FileUtils.h"
#include "model/Profile.h"
#include "support/ScriptedServer.h"
#include "support/TestSite.h"

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
}

void WindowFixture::TearDown()
{
    window.reset();
    app.reset();
    server.reset();
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

void WindowFixture::WriteProfile(const std::string &name)
{
    TAVProfile profile;
    profile.file = app->ProfilesFolder() + name + ".avp";
    profile.profileName = name;
    profile.Save();
}

} // namespace arvelo::test
