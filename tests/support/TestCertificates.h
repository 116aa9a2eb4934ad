#pragma once

#include <string>

namespace arvelo::test {

// The certificates of the loopback https servers: a test certificate
// authority, trusted by this process and the programs it starts (through
// the extra authority file the TLS layer reads), and server certificates.
enum class TCertificate {
    kGood,       // by the test authority, for 127.0.0.1, ::1, localhost and www.site.test
    kExpired,    // by the test authority, for the same names, expired yesterday
    kWrongHost,  // by the test authority, for other.test only
    kSelfSigned, // by nobody, for the same names as kGood
};

// Made once per test program with the openssl command, in a temporary
// folder; empty names, with the reason in CertificatesError, when that failed.
std::string CertificateFile(TCertificate which);
std::string KeyFile(TCertificate which);
const std::string &CertificatesError();

} // namespace arvelo::test
