#pragma once

#include <QList>
#include <QSslCertificate>

namespace platform {

// How a client decides whether to trust a server's certificate. Certificates are verified
// against the host name the client connected to and the system's trust store (tests add
// the authority that signed their server's certificate); a failure ends the connection.
//
// A server on this machine (a loopback address) is the one exception: its certificate is
// taken whatever it is, as local servers mostly run on certificates of their own making
// (a self-signed one, the system's snake-oil one). Refusing it would protect nothing: a
// program that can listen on this machine's ports can also read what is sent to them in
// the clear, which a client does when such a server offers no TLS.
struct TlsPolicy {
  QList<QSslCertificate> extraCaCertificates;
  // Verifies a loopback server's certificate too (for tests of the verification itself).
  bool verifyLoopback = false;
};

}  // namespace platform
