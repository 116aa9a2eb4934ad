#include "support/TestCertificates.h"

#include "net/Tls.h"

#include "support/ChildProcess.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <vector>

namespace arvelo::test {

namespace {

// The temporary folder as the program found it: each test moves TMPDIR
// into a folder of its own that goes with it, and the certificates serve
// the whole program.
const std::string kProgramTemp = [] {
    const char *folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp");
}();

const char *const kNames[] = {"good", "expired", "wronghost", "selfsigned"};
constexpr const char *kOurNames = "subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost,DNS:www.site.test\n";

struct TCertificates {
    std::unique_ptr<QTemporaryDir> folder;
    std::string path, error;

    // openssl in the certificates' folder; started with posix_spawn, which
    // the thread sanitizer follows, unlike the forks of QProcess.
    bool Run(const QStringList &arguments)
    {
        static const std::string openssl = QStandardPaths::findExecutable(QStringLiteral("openssl")).toStdString();
        std::vector<std::string> argv{openssl};
        for (const QString &argument : arguments)
            argv.push_back(argument.toStdString());
        TChildProcess child(argv);
        if (openssl.empty() || !child.Started() || child.Wait(30) != 0) {
            error = "openssl " + arguments.join(QLatin1Char(' ')).toStdString() + " failed: " + child.Errors();
            return false;
        }
        return true;
    }

    bool Write(const std::string &name, const std::string &text)
    {
        QFile file(QString::fromStdString(path + name));
        return file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) == qint64(text.size());
    }

    // A key and a certificate signing request, then the certificate: signed
    // by the authority, or by its own key.
    bool Make(const char *name, const char *names, const char *days, bool selfSigned)
    {
        const QString base = QString::fromStdString(path) + QString::fromLatin1(name);
        const QString ca = QString::fromStdString(path) + QStringLiteral("ca");
        const QStringList key = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                                 QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                                 QStringLiteral("-keyout"), base + QStringLiteral(".key")};
        if (!Write(std::string(name) + ".ext", names))
            return false;
        if (selfSigned)
            return Run(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + key +
                       QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=") + QString::fromLatin1(name), QStringLiteral("-days"),
                                   QString::fromLatin1(days), QStringLiteral("-addext"),
                                   QString::fromLatin1(names).trimmed(), QStringLiteral("-out"),
                                   base + QStringLiteral(".pem")});
        return Run(QStringList{QStringLiteral("req")} + key +
                   QStringList{QStringLiteral("-subj"), QStringLiteral("/CN=") + QString::fromLatin1(name), QStringLiteral("-out"),
                               base + QStringLiteral(".csr")}) &&
               Run({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), base + QStringLiteral(".csr"),
                    QStringLiteral("-CA"), ca + QStringLiteral(".pem"), QStringLiteral("-CAkey"), ca + QStringLiteral(".key"),
                    QStringLiteral("-set_serial"), QString::number(qHash(QString::fromLatin1(name))), QStringLiteral("-days"),
                    QString::fromLatin1(days), QStringLiteral("-extfile"), base + QStringLiteral(".ext"),
                    QStringLiteral("-out"), base + QStringLiteral(".pem")});
    }

    TCertificates()
        : folder(std::make_unique<QTemporaryDir>(QString::fromStdString(kProgramTemp + "/arvelo-certificates-XXXXXX")))
    {
        if (!folder->isValid()) {
            error = "no temporary folder for the certificates";
            return;
        }
        path = folder->path().toStdString() + "/";
        bool made = Run({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                         QStringLiteral("-nodes"), QStringLiteral("-keyout"), QString::fromStdString(path + "ca.key"),
                         QStringLiteral("-out"), QString::fromStdString(path + "ca.pem"), QStringLiteral("-days"),
                         QStringLiteral("3650"), QStringLiteral("-subj"), QStringLiteral("/CN=Arvelo Test Authority")}) &&
                    Make("good", kOurNames, "3650", false) && Make("expired", kOurNames, "-1", false) &&
                    Make("wronghost", "subjectAltName=DNS:other.test\n", "3650", false) &&
                    Make("selfsigned", kOurNames, "3650", true);
        if (!made)
            return;
        // Before the first TLS connection of this process, and inherited by
        // the programs it starts.
        setenv(TTlsChannel::kExtraCAVariable, (path + "ca.pem").c_str(), 1);
    }
};

TCertificates &Certificates()
{
    static TCertificates certificates;
    return certificates;
}

std::string FileOf(TCertificate which, const char *extension)
{
    TCertificates &made = Certificates();
    if (!made.error.empty() || made.path.empty())
        return {};
    return made.path + kNames[static_cast<int>(which)] + extension;
}

} // namespace

std::string CertificateFile(TCertificate which) { return FileOf(which, ".pem"); }
std::string KeyFile(TCertificate which) { return FileOf(which, ".key"); }
const std::string &CertificatesError() { return Certificates().error; }

} // namespace arvelo::test
