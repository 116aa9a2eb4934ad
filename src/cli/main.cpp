#include "cli/Options.h"
#include "cli/Session.h"
#include "core/Version.h"

#include <QCoreApplication>

#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    using namespace arvelo::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    TOptions options;
    std::string error;
    if (!ParseOptions(args, options, error)) {
        std::fprintf(stderr, "arvelo-cli: %s\nTry 'arvelo-cli --help'.\n", error.c_str());
        return kExitInvalid;
    }
    if (options.command == TCommand::kHelp) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options.command == TCommand::kVersion) {
        std::printf("%s %s\n", arvelo::kProductName, arvelo::kFullVersion);
        return 0;
    }
    QCoreApplication application(argc, argv);
    try {
        TSession session(options);
        return session.Run();
    } catch (const std::exception &failure) {
        // Whatever failed (a file, the network), the user is told and the
        // status says so.
        std::fprintf(stderr, "arvelo-cli: %s\n", failure.what());
        return kExitFailed;
    }
}
