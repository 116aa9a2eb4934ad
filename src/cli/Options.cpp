#include "cli/Options.h"

#include "model/Profile.h"
#include "model/Task.h"
#include "core/TextUtils.h"

#include <charconv>
#include <map>

namespace arvelo::cli {
namespace {

bool ReadInteger(const std::string &text, int low, int high, int &value)
{
    const char *end = text.data() + text.size();
    auto [at, failure] = std::from_chars(text.data(), end, value);
    return failure == std::errc() && at == end && value >= low && value <= high;
}

// A rate in bytes a second: a number, with "k" or "m" for kilo- or megabytes.
bool ReadRate(std::string text, int64_t &value)
{
    int64_t unit = 1;
    if (!text.empty() && (text.back() == 'k' || text.back() == 'K' || text.back() == 'm' || text.back() == 'M')) {
        unit = text.back() == 'k' || text.back() == 'K' ? 1024 : 1024 * 1024;
        text.pop_back();
    }
    int number = 0;
    if (!ReadInteger(text, 0, 1 << 30, number))
        return false;
    value = number * unit;
    return true;
}

// Seconds, with a fraction: "2", "0.5".
bool ReadSeconds(const std::string &text, int &milliseconds)
{
    double seconds = 0;
    const char *end = text.data() + text.size();
    auto [at, failure] = std::from_chars(text.data(), end, seconds);
    if (failure != std::errc() || at != end || !(seconds >= 0) || seconds > 86400)
        return false;
    milliseconds = static_cast<int>(seconds * 1000 + 0.5);
    return true;
}

// A header line "Name: value" of a name that is ours to choose.
bool ReadHeader(const std::string &text, std::string &error)
{
    const size_t colon = text.find(':');
    const std::string name = colon == std::string::npos ? std::string() : Trim(text.substr(0, colon));
    if (name.empty() || text.find_first_of("\r\n") != std::string::npos ||
        name.find_first_of(" \t") != std::string::npos) {
        error = "--header takes one line \"Name: value\": " + text;
        return false;
    }
    for (const char *own : {"Host", "Connection", "Range", "If-Modified-Since", "Authorization",
                            "Proxy-Authorization", "Content-Length", "Transfer-Encoding"}) {
        if (SameText(name, own)) {
            error = "--header cannot set " + name + ": the fetch sets it itself";
            return false;
        }
    }
    return true;
}

bool ReadChoice(const std::string &text, const std::map<std::string, int> &choices, int &value)
{
    auto found = choices.find(text);
    if (found == choices.end())
        return false;
    value = found->second;
    return true;
}

const std::map<std::string, int> kLocations = {
    {"folder", locStartDirectory}, {"site", locStartSite}, {"anywhere", locAnywhere}};
const std::map<std::string, int> kModes = {
    {"restart", rmRestart}, {"resume", rmResume}, {"renovix", rmRenovix}, {"salvix", rmSalvix}, {"map", rmMap}};

} // namespace

const char *UsageText()
{
    return "Usage: arvelo-cli COMMAND [OPTIONS]\n"
           "\n"
           "Copies websites for offline use from a terminal.\n"
           "\n"
           "Commands:\n"
           "  copy URL [FOLDER]   copy a website into FOLDER (default: the Local Intranet folder)\n"
           "  copy URL --zip[=FILE]\n"
           "                      copy a website into one zip archive: FILE, or one in the\n"
           "                      Downloads folder named after the start page's title\n"
           "  run TASK            run a task, given as its .avt file or its name\n"
           "  list                list the tasks with their status\n"
           "  report TASK         write a task's reports (summary, page and image indexes,\n"
           "                      errors, list of pages) and print where they are\n"
           "  schedule            keep running and start each scheduled task when it is due\n"
           "\n"
           "Options of copy:\n"
           "  --name NAME         name of the new task (default: made from the address)\n"
           "  --profile NAME      take the crawl rules of a profile\n"
           "  --depth N           levels of links to follow: -1 all, 0 the start page only\n"
           "  --pages WHERE       pages to follow: folder, site or anywhere (default site)\n"
           "  --resources WHERE   other files to fetch: folder, site or anywhere (default anywhere)\n"
           "  --types LIST        fetch only these file types, as \".htm,.html,.gif\"\n"
           "  --include TERMS     fetch only addresses with every term (may be repeated)\n"
           "  --exclude TERMS     skip addresses with every term (may be repeated)\n"
           "  --map               fetch the pages only\n"
           "  --zip-last          add the files to the archive only once all are downloaded\n"
           "\n"
           "Options of run:\n"
           "  --mode MODE         restart, resume, renovix (only new or changed items),\n"
           "                      salvix (retry failed items) or map; default: resume\n"
           "                      a stopped or incomplete task, otherwise restart\n"
           "\n"
           "Common options:\n"
           "  --connections N     parallel connections, 1 to 16 (default: the stored setting)\n"
           "  --min-rate RATE     give up a transfer slower than RATE bytes a second over a\n"
           "                      minute, as 512, 2k or 1m; 0 never (default: the stored\n"
           "                      setting, 1k); it ends incomplete and a resume fetches the rest\n"
           "  --insecure          accept invalid certificates of https servers (kept with the task)\n"
           "  --no-robots         do not read the servers' robots.txt files (kept with the task;\n"
           "                      by default each is read and obeyed, the start address excepted)\n"
           "  --user-agent TEXT   the User-Agent sent, and the agent robots.txt is read for\n"
           "                      (default: the stored setting)\n"
           "  --timeout SECONDS   give up a connection that makes no progress for that long\n"
           "                      (default 300)\n"
           "  --wait SECONDS      pause between two requests of a connection, as 1 or 0.5\n"
           "  --limit-rate RATE   receive at most RATE bytes a second over all connections,\n"
           "                      as 512, 200k or 1m\n"
           "  --header LINE       send \"Name: value\" with every request (may be repeated)\n"
           "  --log FILE          append a line per fetched address to FILE: time, result,\n"
           "                      bytes and address, separated by tabs\n"
           "  --verbose, -v       print a line per fetched address\n"
           "  --quiet, -q         print errors only\n"
           "  --help              show this help and exit\n"
           "  --version           show the version and exit\n"
           "\n"
           "Every option may also be given as --option=value. --user-agent, --timeout,\n"
           "--wait, --limit-rate, --header, --log and --verbose hold for this invocation.\n"
           "\n"
           "Ctrl-C stops a run so that it can be resumed later with --mode resume.\n"
           "The end of a run lists the addresses that failed (up to 20), even with --quiet.\n"
           "Exit status: 0 when every address was saved, 1 when the run failed or was\n"
           "stopped (or a file could not be written), 2 for invalid input, 4 when the\n"
           "task completed but some addresses failed.\n";
}

bool ParseOptions(const std::vector<std::string> &given, TOptions &options, std::string &error)
{
    // "--name=value" is "--name value" (but "--zip=FILE" is an option of its own).
    std::vector<std::string> args;
    for (const std::string &arg : given) {
        const size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string::npos && arg.rfind("--zip=", 0) != 0) {
            args.push_back(arg.substr(0, equals));
            args.push_back(arg.substr(equals + 1));
        } else {
            args.push_back(arg);
        }
    }
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string text;
        int number = 0;
        if (arg == "--help" || arg == "-h") {
            options.command = TCommand::kHelp;
            return true;
        } else if (arg == "--version") {
            options.command = TCommand::kVersion;
            return true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--no-robots") {
            options.noRobots = true;
        } else if (arg == "--user-agent") {
            if (!value(text))
                return false;
            if (text.find_first_of("\r\n") != std::string::npos) {
                error = "--user-agent takes one line";
                return false;
            }
            options.userAgent = text;
        } else if (arg == "--timeout") {
            if (!value(text))
                return false;
            if (!ReadInteger(text, 1, 3600, number)) {
                error = "--timeout takes seconds from 1 to 3600: " + text;
                return false;
            }
            options.timeout = number;
        } else if (arg == "--wait") {
            if (!value(text))
                return false;
            if (!ReadSeconds(text, number)) {
                error = "--wait takes seconds, as 2 or 0.5: " + text;
                return false;
            }
            options.waitMs = number;
        } else if (arg == "--limit-rate") {
            if (!value(text))
                return false;
            int64_t rate = 0;
            if (!ReadRate(text, rate) || rate <= 0) {
                error = "--limit-rate takes bytes a second, as 512, 200k or 1m: " + text;
                return false;
            }
            options.limitRate = rate;
        } else if (arg == "--header") {
            if (!value(text) || !ReadHeader(text, error))
                return false;
            options.headers.push_back(text);
        } else if (arg == "--log") {
            if (!value(options.logFile))
                return false;
            if (options.logFile.empty()) {
                error = "--log needs a file";
                return false;
            }
        } else if (arg == "--insecure") {
            options.insecure = true;
        } else if (arg == "--map") {
            options.map = true;
        } else if (arg == "--zip" || arg.rfind("--zip=", 0) == 0) {
            options.zip = true;
            options.zipFile = arg.size() > 6 ? arg.substr(6) : std::string();
        } else if (arg == "--zip-last") {
            options.zipLast = true;
        } else if (arg == "--name") {
            if (!value(options.name))
                return false;
        } else if (arg == "--profile") {
            if (!value(options.profile))
                return false;
        } else if (arg == "--depth") {
            if (!value(text))
                return false;
            if (!ReadInteger(text, -1, 1000000, number)) {
                error = "--depth takes a number from -1 up: " + text;
                return false;
            }
            options.depth = number;
        } else if (arg == "--pages" || arg == "--resources") {
            if (!value(text))
                return false;
            if (!ReadChoice(text, kLocations, number)) {
                error = arg + " takes folder, site or anywhere: " + text;
                return false;
            }
            (arg == "--pages" ? options.pageLocation : options.resourceLocation) = number;
        } else if (arg == "--types") {
            if (!value(text))
                return false;
            options.fileTypes = text;
        } else if (arg == "--include" || arg == "--exclude") {
            if (!value(text))
                return false;
            (arg == "--include" ? options.include : options.exclude).push_back(text);
        } else if (arg == "--mode") {
            if (!value(text))
                return false;
            if (!ReadChoice(text, kModes, number)) {
                error = "--mode takes restart, resume, renovix, salvix or map: " + text;
                return false;
            }
            options.runMode = number;
        } else if (arg == "--connections") {
            if (!value(text))
                return false;
            if (!ReadInteger(text, 1, 16, number)) {
                error = "--connections takes a number from 1 to 16: " + text;
                return false;
            }
            options.connections = number;
        } else if (arg == "--min-rate") {
            if (!value(text))
                return false;
            int64_t rate = 0;
            if (!ReadRate(text, rate)) {
                error = "--min-rate takes bytes a second, as 512, 2k or 1m: " + text;
                return false;
            }
            options.minRate = rate;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const std::string &command = words[0];
    size_t most = 1;
    if (command == "copy") {
        options.command = TCommand::kCopy;
        if (words.size() < 2) {
            error = "copy needs an address";
            return false;
        }
        options.address = words[1];
        if (words.size() > 2)
            options.destination = words[2];
        most = 3;
    } else if (command == "run") {
        options.command = TCommand::kRun;
        if (words.size() < 2) {
            error = "run needs a task";
            return false;
        }
        options.task = words[1];
        most = 2;
    } else if (command == "report") {
        options.command = TCommand::kReport;
        if (words.size() < 2) {
            error = "report needs a task";
            return false;
        }
        options.task = words[1];
        most = 2;
    } else if (command == "list") {
        options.command = TCommand::kList;
    } else if (command == "schedule") {
        options.command = TCommand::kSchedule;
    } else {
        error = "unknown command " + command;
        return false;
    }
    if (words.size() > most) {
        error = "unexpected argument " + words[most];
        return false;
    }
    bool copyOnly = !options.name.empty() || !options.profile.empty() || options.depth || options.pageLocation ||
                    options.resourceLocation || options.fileTypes || !options.include.empty() ||
                    !options.exclude.empty() || options.map || options.zip || options.zipLast;
    const bool runOnly = options.verbose || options.noRobots || options.userAgent || options.timeout ||
                         options.waitMs || options.limitRate || !options.headers.empty() || !options.logFile.empty();
    if (runOnly && options.command != TCommand::kCopy && options.command != TCommand::kRun) {
        error = "the fetch options belong to copy and run";
        return false;
    }
    if (options.verbose && options.quiet) {
        error = "give either --verbose or --quiet";
        return false;
    }
    if (copyOnly && options.command != TCommand::kCopy) {
        error = "the crawl options belong to copy";
        return false;
    }
    if (options.zip && !options.destination.empty()) {
        error = "give either a folder or --zip";
        return false;
    }
    if (options.runMode && options.command != TCommand::kRun) {
        error = "--mode belongs to run";
        return false;
    }
    return true;
}

} // namespace arvelo::cli
