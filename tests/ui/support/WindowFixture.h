#pragma once

#include "core/App.h"
#include "support/NginxServer.h"
#include "support/TestHome.h"
#include "ui/main/FormArvelo.h"
#include "ui/support/NamedChild.h"

#include <QObject>
#include <QUrl>

#include <memory>
#include <string>
#include <vector>

namespace arvelo::test {

// The addresses that the program hands to the desktop's default browser.
class TOpenedUrls : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> urls;
public Q_SLOTS:
    void Open(const QUrl &url) { urls.push_back(url); }
};

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
    // A saved task of the category "General" that copies the address into "copy-<name>/".
    void WriteTask(const std::string &name, const std::string &address);
    // The arguments the "Browser" program (a stub) was started with, one per start.
    std::vector<std::vector<std::string>> BrowserStarts() const;

    // A named control of the window; fails the test when there is none.
    template <typename T>
    T *Child(const char *name) const
    {
        return NamedChild<T>(*window, name);
    }

    std::unique_ptr<TAVApp> app;
    std::unique_ptr<TFormArvelo> window;
    std::unique_ptr<TNginxServer> server;
    // Recorded instead of opened in the desktop's default browser.
    TOpenedUrls opened;
};

} // namespace arvelo::test
