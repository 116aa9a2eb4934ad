#include "net/Proxy.h"

#include "core/App.h"
#include "core/FileUtils.h"
#include "core/IniFile.h"
#include "core/TextUtils.h"
#include "net/Fetch.h"

#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>

namespace arvelo {

void ProxyForFetch(const TAVApp &app, TlqHTTP &fetch)
{
    if (!app.UseProxy())
        return;
    fetch.Proxy = app.ProxyAddress().empty() ? std::string() : app.ProxyAddress() + ":" + app.ProxyPort();
    const std::string &credentials = app.ProxyAuthorization();
    if (!credentials.empty()) {
        size_t colon = credentials.find(':');
        fetch.ProxyUsername = colon == std::string::npos ? std::string() : credentials.substr(0, colon);
        fetch.ProxyPassword = colon == std::string::npos ? credentials : credentials.substr(colon + 1);
    }
}

void StoreProxyFields(TAVApp &app, bool useProxy, const std::string &address, const std::string &port,
                      const std::string &userName, const std::string &password)
{
    app.SetUseProxy(useProxy);
    std::string host = Trim(address);
    if (host.rfind("http://", 0) == 0)
        host.erase(0, 7);
    app.SetProxyAddress(host);
    app.SetProxyPort(Trim(port));
    app.SetProxyAuthorization(!userName.empty() && !password.empty() ? userName + ":" + password : std::string());
}

std::string ProxyFromAddress(const std::string &address)
{
    std::string text = Trim(address);
    size_t scheme = text.find("://");
    if (scheme != std::string::npos)
        text.erase(0, scheme + 3);
    text = text.substr(0, text.find('/'));
    size_t at = text.rfind('@');
    if (at != std::string::npos)
        text.erase(0, at + 1);
    // KDE writes "host port".
    size_t blank = text.find(' ');
    if (blank != std::string::npos)
        text = text.substr(0, blank) + ":" + Trim(text.substr(blank + 1));
    if (text.empty() || text.front() == ':')
        return {};
    if (text.find(':') == std::string::npos)
        text += ":80";
    return text;
}

std::string ProxyFromKdeConfig(const std::string &kioslavercText)
{
    TIniFile config = TIniFile::Parse(kioslavercText);
    // ProxyType 1 is a proxy typed in by hand.
    if (config.ReadInteger("Proxy Settings", "ProxyType", 0) != 1)
        return {};
    return ProxyFromAddress(config.ReadString("Proxy Settings", "httpProxy"));
}

namespace {

// The output of a short gsettings call, without quotes; empty on failure.
std::string GSetting(const QString &program, const QString &schema, const QString &key)
{
    QProcess process;
    process.start(program, {QStringLiteral("get"), schema, key});
    if (!process.waitForFinished(2000) || process.exitCode() != 0)
        return {};
    std::string value = Trim(process.readAllStandardOutput().toStdString());
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        value = value.substr(1, value.size() - 2);
    return value;
}

} // namespace

std::string ProxyFromGnome()
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty())
        return {};
    if (GSetting(program, QStringLiteral("org.gnome.system.proxy"), QStringLiteral("mode")) != "manual")
        return {};
    std::string host = GSetting(program, QStringLiteral("org.gnome.system.proxy.http"), QStringLiteral("host"));
    std::string port = GSetting(program, QStringLiteral("org.gnome.system.proxy.http"), QStringLiteral("port"));
    if (host.empty())
        return {};
    return host + ":" + (ToIntDef(port, 0) > 0 ? port : std::string("80"));
}

std::string ProxyFromEnvironment()
{
    for (const char *name : {"http_proxy", "HTTP_PROXY"})
        if (const char *value = std::getenv(name); value && *value)
            return ProxyFromAddress(value);
    return {};
}

std::string DetectBrowserProxy()
{
    std::string proxy = ProxyFromGnome();
    if (proxy.empty()) {
        QString config = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, QStringLiteral("kioslaverc"));
        if (!config.isEmpty())
            proxy = ProxyFromKdeConfig(ReadFileBytes(config.toStdString()));
    }
    return proxy.empty() ? ProxyFromEnvironment() : proxy;
}

} // namespace arvelo
