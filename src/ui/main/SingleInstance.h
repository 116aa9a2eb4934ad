#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace arvelo {

// One program per user and data folder. The first start holds a lock file
// in the data folder and listens on a local socket; a later start hands its
// arguments over that socket and ends. The socket lives in the user's
// runtime folder (a data-folder path may be longer than a socket name can
// be) under a name made from a hash of the data folder's path, so programs
// with different data folders never meet.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    enum class TRole {
        kFirst,      // this process serves: go on and show the window
        kHandedOver, // the arguments went to the running program: end (status 0)
        kNoAnswer,   // a program runs but did not take them: end (status 1)
    };

    // How long a second start waits for the first to take its arguments,
    // and how long the first waits for a connection to send them.
    static constexpr int kAnswerMs = 5000;
    // The longest argument accepted, and the most arguments in one message.
    static constexpr int kMaxArgumentBytes = 64 * 1024;
    static constexpr int kMaxArguments = 256;

    explicit TSingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~TSingleInstance() override;

    // Becomes the serving program, or hands the arguments (made absolute
    // against the current folder when they are relative paths) to it. It
    // may run before the application object exists, so that a later start
    // ends without setting one up; the first then calls Serve() after.
    TRole Start(const QStringList &arguments);
    // Listens for later starts (Start() does when the application exists).
    void Serve();
    // Why a start got no answer, for the user.
    const QString &Problem() const { return problem_; }
    // The socket's full path for a data folder (empty without a private
    // folder to put it in).
    static QString ServerPath(const QString &dataFolder);

Q_SIGNALS:
    // A later start's arguments, in their order; none asks for the window.
    void ArgumentsReceived(const QStringList &arguments);

private:
    bool Listen();
    TRole HandOver(const QStringList &arguments, int waitMs);
    void Accept();
    void Read(QLocalSocket *socket);

    QString dataFolder_;
    QString serverPath_;
    QString problem_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer *server_ = nullptr;
};

// The argument as the running program must see it: a relative file path
// is made absolute against the given folder; addresses stay as they are.
QString AbsoluteArgument(const QString &argument, const QString &currentFolder);

} // namespace arvelo
