#include "core/Desktop.h"

#include "core/Notifier.h"

#include <QProcess>
#include <QStringList>

namespace arvelo {

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

} // namespace arvelo
