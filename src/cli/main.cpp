#include "core/App.h"
#include "core/Version.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

void PrintUsage()
{
    std::printf("Usage: arvelo-cli [--help] [--version]\n"
                "\n"
                "Copies websites for offline use from a terminal.\n"
                "\n"
                "  --help      show this help and exit\n"
                "  --version   show the version and exit\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", arvelo::kProductName, arvelo::kFullVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        }
        std::fprintf(stderr, "arvelo-cli: unknown option '%s'\n", argv[i]);
        PrintUsage();
        return 2;
    }
    arvelo::TAVApp app;
    app.RunFirstRun();
    PrintUsage();
    return 0;
}
