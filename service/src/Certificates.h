// The service's own certificate authority and the server certificate it signs for loopback.
#pragma once

#include <string>

namespace velkora::service {

struct CertificateFiles {
    std::string caFile;   // the CA certificate the kit is told to trust (PEM)
    std::string certFile; // the server certificate (PEM)
    std::string keyFile;  // the server's private key (PEM)
};

// Uses the files in `dir` when they are all there and still valid; otherwise makes a new CA and a
// server certificate for 127.0.0.1 and localhost. Returns false (with `error` set) when OpenSSL or
// the file system fails.
bool ensureCertificates(const std::string& dir, CertificateFiles& files, std::string& error);

} // namespace velkora::service
