#pragma once

#include <QList>
#include <QSslCertificate>

namespace platform {

// How a client decides whether to trust a server's certificate. Certificates are always
// verified against the host name the client connected to; a failure ends the connection
// and is never ignored. The system's trust store is always used; tests add the test
// authority that signed their loopback server's certificate.
struct TlsPolicy {
  QList<QSslCertificate> extraCaCertificates;
};

}  // namespace platform
