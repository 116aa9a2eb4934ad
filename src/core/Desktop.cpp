#include "core/Desktop.h"

#include "core/Notifier.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTextStream>

#include <map>

namespace arvelo {
namespace {

using TGroups = std::map<QString, std::map<QString, QString>>;

// The groups and keys of a desktop entry or mimeapps.list file.
TGroups ReadKeyFile(const QString &path)
{
    TGroups groups;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return groups;
    QTextStream in(&file);
    QString group;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            groups[group].emplace(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return groups;
}

// Exec's arguments: blanks separate them, double quotes group them, a
// backslash in quotes takes the next character as it is.
QStringList SplitExec(const QString &exec)
{
    QStringList arguments;
    QString current;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                current += exec[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                current += c;
        } else if (c == QLatin1Char('"')) {
            quoted = any = true;
        } else if (c.isSpace()) {
            if (any || !current.isEmpty())
                arguments.append(current);
            current.clear();
            any = false;
        } else {
            current += c;
        }
    }
    if (any || !current.isEmpty())
        arguments.append(current);
    return arguments;
}

std::string FindProgram(const QString &program)
{
    if (program.isEmpty())
        return {};
    if (QDir::isAbsolutePath(program))
        return QFileInfo(program).isExecutable() ? program.toStdString() : std::string();
    return QStandardPaths::findExecutable(program).toStdString();
}

std::optional<TDesktopEntry> ReadDesktopEntry(const QString &path)
{
    const TGroups groups = ReadKeyFile(path);
    auto group = groups.find(QStringLiteral("Desktop Entry"));
    if (group == groups.end())
        return std::nullopt;
    auto value = [&](const char *key) {
        auto found = group->second.find(QString::fromLatin1(key));
        return found == group->second.end() ? QString() : found->second;
    };
    TDesktopEntry entry;
    entry.file = path.toStdString();
    entry.icon = value("Icon").toStdString();
    QStringList exec = SplitExec(value("Exec"));
    if (exec.isEmpty())
        return std::nullopt;
    entry.program = FindProgram(exec.takeFirst());
    for (const QString &argument : exec) {
        // The field codes stand for the file or address that goes in.
        if (argument.startsWith(QLatin1Char('%')) && argument != QLatin1String("%%"))
            continue;
        entry.parameters.push_back(argument == QLatin1String("%%") ? std::string("%") : argument.toStdString());
    }
    return entry;
}

} // namespace

bool StartProgram(const std::string &program, const std::vector<std::string> &arguments)
{
    QStringList list;
    for (const std::string &argument : arguments)
        list.append(QString::fromStdString(argument));
    if (!program.empty() && QProcess::startDetached(QString::fromStdString(program), list))
        return true;
    Notifier().Error("Unable to start \"" + program + "\".");
    return false;
}

std::optional<TDesktopEntry> FindDesktopEntry(const std::string &id)
{
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, QString::fromStdString(id));
    if (path.isEmpty())
        return std::nullopt;
    return ReadDesktopEntry(path);
}

std::optional<TDesktopEntry> DefaultApplication(const std::string &mimeType)
{
    QStringList lists;
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists.append(folder + QStringLiteral("/mimeapps.list"));
    for (const QString &list : lists) {
        const TGroups groups = ReadKeyFile(list);
        auto defaults = groups.find(QStringLiteral("Default Applications"));
        if (defaults == groups.end())
            continue;
        auto ids = defaults->second.find(QString::fromStdString(mimeType));
        if (ids == defaults->second.end())
            continue;
        for (const QString &id : ids->second.split(QLatin1Char(';'), Qt::SkipEmptyParts))
            if (auto entry = FindDesktopEntry(id.trimmed().toStdString()); entry && !entry->program.empty())
                return entry;
    }
    return std::nullopt;
}

std::string DefaultBrowserProgram(std::vector<std::string> *parameters)
{
    for (const char *type : {"x-scheme-handler/http", "text/html"}) {
        if (auto entry = DefaultApplication(type)) {
            if (parameters)
                *parameters = entry->parameters;
            return entry->program;
        }
    }
    return {};
}

std::string SecondBrowserProgram(const std::string &defaultProgram)
{
    const QString first = QFileInfo(QString::fromStdString(defaultProgram)).fileName();
    for (const char *name : {"firefox", "chromium", "epiphany", "falkon", "konqueror"}) {
        const std::string program = FindProgram(QString::fromLatin1(name));
        if (!program.empty() && QFileInfo(QString::fromStdString(program)).fileName() != first &&
            QFileInfo(QString::fromStdString(program)).canonicalFilePath() !=
                QFileInfo(QString::fromStdString(defaultProgram)).canonicalFilePath())
            return program;
    }
    return {};
}

bool OpenUrl(const std::string &url)
{
    std::vector<std::string> arguments;
    const std::string program = DefaultBrowserProgram(&arguments);
    if (program.empty())
        return false;
    arguments.push_back(url);
    QStringList list;
    for (const std::string &argument : arguments)
        list.append(QString::fromStdString(argument));
    return QProcess::startDetached(QString::fromStdString(program), list);
}

std::string ProgramIcon(const std::string &program)
{
    if (program.empty())
        return {};
    const QString wanted = QFileInfo(QString::fromStdString(program)).canonicalFilePath();
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        QDirIterator entries(folder, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            auto entry = ReadDesktopEntry(entries.next());
            if (entry && !entry->program.empty() &&
                QFileInfo(QString::fromStdString(entry->program)).canonicalFilePath() == wanted)
                return entry->icon;
        }
    }
    return {};
}

bool OpenInTextEditor(const std::string &file)
{
    auto editor = DefaultApplication("text/plain");
    if (!editor)
        return false;
    // gio starts the entry as the desktop would, with its own field codes.
    const std::string gio = FindProgram(QStringLiteral("gio"));
    if (!gio.empty())
        return QProcess::startDetached(QString::fromStdString(gio),
                                       {QStringLiteral("launch"), QString::fromStdString(editor->file),
                                        QString::fromStdString(file)});
    std::vector<std::string> arguments = editor->parameters;
    arguments.push_back(file);
    return StartProgram(editor->program, arguments);
}

} // namespace arvelo
