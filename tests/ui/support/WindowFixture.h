#pragma once

#include "core/App.h"
#include "support/NginxServer.h"
#include "support/TestHome.h"
#include "ui/main/FormArvelo.h"
#include "ui/support/NamedChild.h"

#include <memory>
#include <string>

namespace arvelo::test {

// The program as a user starts it: a fresh data folder with the desktop's
// folders inside, the application object and the shown main window; the
// site of the copy tests is ready to be served by nginx.
class WindowFixture : public TestHome {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new main window (closing any before); shown and laid out.
    void OpenWindow();
    void CloseWindow();
    // nginx serving the test site; a slow one sends the files under slow/
    // at 16 KB/s.
    void StartServer(bool slow = false);
    // A profile file that follows the whole site.
    void WriteProfile(const std::string &name);

    // A named control of the window; fails the test when there is none.
    template <typename T>
    T *Child(const char *name) const
    {
        return NamedChild<T>(*window, name);
    }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TFormArvelo> window;
    std::unique_ptr<TNginxServer> server;
};

} // namespace arvelo::test
