#include "ui/main/SingleInstance.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace arvelo {
namespace {

constexpr char kTaken = '\x01';
constexpr int kRetryMs = 25;

// A folder only this user can enter: the runtime folder of the session, or
// one of our own in /tmp when there is none (as on build machines).
QString PrivateFolder()
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    if (runtime.startsWith(QLatin1Char('/')) && QFileInfo(runtime).isDir())
        return runtime;
    const QByteArray own = "/tmp/arvelo-" + QByteArray::number(::geteuid());
    ::mkdir(own.constData(), 0700);
    struct stat status {};
    // Refuse a folder someone else made or others may enter.
    if (::lstat(own.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() ||
        (status.st_mode & 077) != 0)
        return {};
    return QString::fromLocal8Bit(own);
}

QByteArray BigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

quint32 ReadBigEndian(const QByteArray &bytes, qsizetype at) { return qFromBigEndian<quint32>(bytes.constData() + at); }

// A count, then each argument as its length and its UTF-8 bytes.
QByteArray Message(const QStringList &arguments)
{
    QByteArray message = BigEndian(quint32(arguments.size()));
    for (const QString &argument : arguments) {
        const QByteArray bytes = argument.toUtf8();
        message += BigEndian(quint32(bytes.size()));
        message += bytes;
    }
    return message;
}

enum class TParse { kIncomplete, kComplete, kRefused };

// Reads a whole message from what has arrived, refusing one beyond the limits.
TParse ParseMessage(const QByteArray &bytes, QStringList &arguments)
{
    arguments.clear();
    if (bytes.size() < 4)
        return TParse::kIncomplete;
    const quint32 count = ReadBigEndian(bytes, 0);
    if (count > quint32(TSingleInstance::kMaxArguments))
        return TParse::kRefused;
    qsizetype at = 4;
    for (quint32 i = 0; i < count; ++i) {
        if (bytes.size() < at + 4)
            return TParse::kIncomplete;
        const quint32 length = ReadBigEndian(bytes, at);
        if (length > quint32(TSingleInstance::kMaxArgumentBytes))
            return TParse::kRefused;
        at += 4;
        if (bytes.size() < at + qsizetype(length))
            return TParse::kIncomplete;
        arguments.append(QString::fromUtf8(bytes.constData() + at, qsizetype(length)));
        at += length;
    }
    return at == bytes.size() ? TParse::kComplete : TParse::kRefused;
}

// Only this user's processes may hand arguments over.
bool SameUser(const QLocalSocket &socket)
{
    struct ucred peer {};
    socklen_t size = sizeof peer;
    const int descriptor = int(socket.socketDescriptor());
    return descriptor >= 0 && ::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == ::geteuid();
}

} // namespace

QString AbsoluteArgument(const QString &argument, const QString &currentFolder)
{
    if (argument.isEmpty() || argument.contains(QStringLiteral("://")) || QDir::isAbsolutePath(argument))
        return argument;
    return QDir::cleanPath(QDir(currentFolder).absoluteFilePath(argument));
}

TSingleInstance::TSingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent), dataFolder_(dataFolder), serverPath_(ServerPath(dataFolder))
{
}

TSingleInstance::~TSingleInstance()
{
    if (server_)
        server_->close();
}

QString TSingleInstance::ServerPath(const QString &dataFolder)
{
    const QString folder = PrivateFolder();
    if (folder.isEmpty())
        return {};
    const QString path = QDir::cleanPath(QFileInfo(dataFolder).absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("/arvelo-") + QString::fromLatin1(hash);
}

TSingleInstance::TRole TSingleInstance::Start(const QStringList &arguments)
{
    QDir().mkpath(dataFolder_);
    lock_ = std::make_unique<QLockFile>(QDir(dataFolder_).filePath(QStringLiteral("arvelo.lock")));
    // Never stale by age: only a lock whose process has gone is taken over.
    lock_->setStaleLockTime(0);
    QStringList absolute;
    for (const QString &argument : arguments)
        absolute.append(AbsoluteArgument(argument, QDir::currentPath()));

    QElapsedTimer clock;
    clock.start();
    // The lock's holder may not listen yet (starts at the same moment), or
    // may have died since: try both until one succeeds or time runs out.
    for (;;) {
        if (lock_->tryLock(0)) {
            // Without the application object yet, Serve() listens once it exists.
            if (QCoreApplication::instance())
                Serve();
            return TRole::kFirst;
        }
        if (lock_->error() == QLockFile::PermissionError || lock_->error() == QLockFile::UnknownError) {
            problem_ = QStringLiteral("Cannot create the lock file in %1.").arg(dataFolder_);
            return TRole::kNoAnswer;
        }
        if (!serverPath_.isEmpty()) {
            const TRole role = HandOver(absolute, int(std::max<qint64>(1, kAnswerMs - clock.elapsed())));
            if (role == TRole::kHandedOver)
                return role;
        }
        if (clock.elapsed() >= kAnswerMs) {
            problem_ = QStringLiteral("Arvelo is already running for %1 but does not answer.").arg(dataFolder_);
            return TRole::kNoAnswer;
        }
        QThread::msleep(kRetryMs);
    }
}

void TSingleInstance::Serve()
{
    if (!server_ && lock_ && lock_->isLocked() && !Listen())
        qWarning("Arvelo: other starts cannot reach this one: %s", qPrintable(problem_));
}

bool TSingleInstance::Listen()
{
    if (serverPath_.isEmpty()) {
        problem_ = QStringLiteral("no private folder for the socket");
        return false;
    }
    // Holding the lock, any socket there was left by a program that died.
    QLocalServer::removeServer(serverPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverPath_)) {
        problem_ = server_->errorString();
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
    return true;
}

TSingleInstance::TRole TSingleInstance::HandOver(const QStringList &arguments, int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    const auto remaining = [&] { return int(std::max<qint64>(1, waitMs - clock.elapsed())); };
    QLocalSocket socket;
    socket.connectToServer(serverPath_);
    if (!socket.waitForConnected(remaining()))
        return TRole::kNoAnswer;
    socket.write(Message(arguments));
    while (socket.bytesToWrite() > 0 && clock.elapsed() < waitMs)
        if (!socket.waitForBytesWritten(remaining()))
            return TRole::kNoAnswer;
    while (socket.bytesAvailable() < 1 && clock.elapsed() < waitMs)
        if (!socket.waitForReadyRead(remaining()))
            break;
    QByteArray answer = socket.read(1);
    return answer.size() == 1 && answer.at(0) == kTaken ? TRole::kHandedOver : TRole::kNoAnswer;
}

void TSingleInstance::Accept()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!SameUser(*socket)) {
            socket->abort();
            continue;
        }
        // A connection that never completes its message is dropped.
        QTimer::singleShot(kAnswerMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        if (socket->bytesAvailable() > 0)
            Read(socket);
    }
}

void TSingleInstance::Read(QLocalSocket *socket)
{
    QByteArray buffer = socket->property("received").toByteArray() + socket->readAll();
    QStringList arguments;
    switch (ParseMessage(buffer, arguments)) {
    case TParse::kIncomplete:
        socket->setProperty("received", buffer);
        return;
    case TParse::kRefused:
        socket->abort();
        return;
    case TParse::kComplete:
        break;
    }
    socket->setProperty("received", QByteArray());
    // The later start may end as soon as it knows; opening what it sent
    // can take long or ask questions, so it happens once this socket's
    // notification is over (the socket may be gone by then).
    socket->write(&kTaken, 1);
    socket->flush();
    socket->disconnectFromServer();
    QMetaObject::invokeMethod(this, [this, arguments] { Q_EMIT ArgumentsReceived(arguments); }, Qt::QueuedConnection);
}

} // namespace arvelo
