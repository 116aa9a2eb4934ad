#include "core/App.h"
#include "core/Version.h"
#include "net/Proxy.h"
#include "ui/common/GuiNotifier.h"
#include "core/AppPaths.h"
#include "ui/main/FormArvelo.h"
#include "ui/main/SingleInstance.h"

#include <QApplication>
#include <QScreen>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", arvelo::kProductName, arvelo::kFullVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: arvelo [--help] [--version] [address | task.avt | archive.zip]\n");
            return 0;
        }
    }
    // The built-in browser's engine shares its drawing context with the window's.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Chromium's sandbox refuses to run as root; the program then runs without it.
    if (::geteuid() == 0)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    // One program per user and data folder: a later start hands its
    // arguments to the running one and ends, before it sets up a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    arvelo::TSingleInstance instance(QString::fromStdString(arvelo::DataFolder()));
    switch (instance.Start(arguments)) {
    case arvelo::TSingleInstance::TRole::kFirst:
        break;
    case arvelo::TSingleInstance::TRole::kHandedOver:
        return 0;
    case arvelo::TSingleInstance::TRole::kNoAnswer:
        std::fprintf(stderr, "arvelo: %s\n", qPrintable(instance.Problem()));
        return 1;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(arvelo::kProductName));
    // The desktop groups the windows under the program's menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("arvelo"));
    instance.Serve();
    // The engine's messages become message boxes for as long as the program runs.
    arvelo::TGuiNotifier notifier;
    arvelo::SetNotifier(&notifier);
    QScreen *screen = QApplication::primaryScreen();
    int depth = screen ? screen->depth() : 0;
    arvelo::TAVApp app(depth > 0 && depth < 63 ? int64_t(1) << depth : arvelo::kManyColours);
    const bool firstRun = app.RunFirstRun();
    int result = 0;
    {
        arvelo::TFormArvelo window;
        window.show();
        // A first start behind a proxy offers it in the Preferences.
        if (firstRun && !app.UseProxy() && !arvelo::DetectBrowserProxy().empty())
            window.OpenPreferences(2);
        // The first argument: an address, a task file or an archive.
        if (!arguments.isEmpty())
            window.OpenTexts({arguments.front().toStdString()}, arvelo::TOpenSource::kArgument);
        QObject::connect(&instance, &arvelo::TSingleInstance::ArgumentsReceived, &window,
                         [&window](const QStringList &handed) { window.OpenHandedOver(handed); });
        result = QApplication::exec();
    }
    arvelo::SetNotifier(nullptr);
    return result;
}
