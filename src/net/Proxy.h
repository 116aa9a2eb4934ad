#pragma once

#include <string>

namespace arvelo {

class TAVApp;
class TlqHTTP;

// Hands the proxy preferences to a slot's fetch component before a fetch.
// With "Use Proxy" off the component keeps what it has.
void ProxyForFetch(const TAVApp &app, TlqHTTP &fetch);

// Stores the proxy fields as the Preferences dialog gives them.
void StoreProxyFields(TAVApp &app, bool useProxy, const std::string &address, const std::string &port,
                      const std::string &userName, const std::string &password);

// The proxy the desktop's web browsers use, as "host:port", or empty: the
// GNOME or KDE setting when one is recorded, else the http_proxy variable.
std::string DetectBrowserProxy();

// The parts of that detection, each giving "host:port" or empty.
std::string ProxyFromAddress(const std::string &address); // "http://user@host:port/", "host port"
std::string ProxyFromKdeConfig(const std::string &kioslavercText);
std::string ProxyFromGnome();
std::string ProxyFromEnvironment();

} // namespace arvelo
