#include "Certificates.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace velkora::service {

namespace {

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(FILE* p) const { std::fclose(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Free>;
using CertPtr = std::unique_ptr<X509, Free>;
using FilePtr = std::unique_ptr<FILE, Free>;

std::string opensslError(const char* what) {
    char buffer[256] = {0};
    unsigned long code = ERR_get_error();
    if (code) ERR_error_string_n(code, buffer, sizeof buffer);
    return std::string(what) + (code ? std::string(": ") + buffer : std::string());
}

bool addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!ext) return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

CertPtr makeCertificate(EVP_PKEY* key, const char* commonName, long serial, X509* issuer, EVP_PKEY* issuerKey,
                        bool isCa) {
    CertPtr cert(X509_new());
    if (!cert) return nullptr;
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("velkora-service"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));

    bool ok = addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
    if (isCa) {
        ok = ok && addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE,pathlen:0") &&
             addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        ok = ok && addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE") &&
             addExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
             addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth") &&
             addExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost") &&
             addExtension(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
    }
    if (!ok || X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256()) <= 0) return nullptr;
    return cert;
}

// Writes a PEM file through a private temporary beside it, synced and renamed over the old one, so a
// service stopped midway leaves the old file or the new one, never a truncated one.
template <typename Write> bool writePem(const std::string& path, Write write) {
    std::string tmp = path + ".XXXXXX";
    int fd = ::mkstemp(tmp.data()); // mode 0600: keys stay private from the first byte
    if (fd < 0) return false;
    FilePtr f(::fdopen(fd, "wb"));
    if (!f) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    bool ok = write(f.get()) && std::fflush(f.get()) == 0 && ::fsync(fd) == 0;
    ok = (std::fclose(f.release()) == 0) && ok;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

bool writeKey(const std::string& path, EVP_PKEY* key) {
    return writePem(
        path, [key](FILE* f) { return PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1; });
}

bool writeCert(const std::string& path, X509* cert) {
    return writePem(path, [cert](FILE* f) { return PEM_write_X509(f, cert) == 1; });
}

CertPtr readCert(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return nullptr;
    return CertPtr(PEM_read_X509(f.get(), nullptr, nullptr, nullptr));
}

// A certificate that loads and is valid for at least another day.
bool usable(X509* cert) {
    if (!cert) return false;
    time_t tomorrow = time(nullptr) + 24 * 3600;
    return X509_cmp_time(X509_get0_notAfter(cert), &tomorrow) > 0;
}

// The key loads, and it is the one the server certificate was made for.
bool keyMatches(const std::string& path, X509* cert) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    KeyPtr key(PEM_read_PrivateKey(f.get(), nullptr, nullptr, nullptr));
    bool ok = key && X509_check_private_key(cert, key.get()) == 1;
    ERR_clear_error(); // a failed check leaves its reasons queued for the next OpenSSL caller
    return ok;
}

// The server certificate is the CA's: a half-replaced set (a new CA, an old server certificate) is made anew.
bool signedBy(X509* cert, X509* ca) {
    EVP_PKEY* caKey = X509_get0_pubkey(ca);
    bool ok = caKey && X509_verify(cert, caKey) == 1;
    ERR_clear_error();
    return ok;
}

} // namespace

bool ensureCertificates(const std::string& dir, CertificateFiles& files, std::string& error) {
    files.caFile = dir + "/ca.pem";
    files.certFile = dir + "/server.pem";
    files.keyFile = dir + "/server-key.pem";
    CertPtr ca = readCert(files.caFile);
    CertPtr server = readCert(files.certFile);
    if (usable(ca.get()) && usable(server.get()) && signedBy(server.get(), ca.get()) &&
        keyMatches(files.keyFile, server.get()))
        return true;
    ERR_clear_error();

    KeyPtr caKey(EVP_EC_gen("P-256"));
    KeyPtr serverKey(EVP_EC_gen("P-256"));
    if (!caKey || !serverKey) {
        error = opensslError("key generation failed");
        return false;
    }
    // Serials differ between runs, so a client never sees two different certificates under one serial.
    long serial = static_cast<long>(time(nullptr) & 0x7FFFFFFF);
    ca = makeCertificate(caKey.get(), "velkora-service CA", serial, nullptr, nullptr, true);
    server = ca ? makeCertificate(serverKey.get(), "127.0.0.1", serial + 1, ca.get(), caKey.get(), false) : nullptr;
    if (!ca || !server) {
        error = opensslError("certificate creation failed");
        return false;
    }
    // Each file is whole or absent; a set cut short between files (a new server key beside the old CA)
    // fails the checks above at the next start and is made anew.
    if (!writeKey(dir + "/ca-key.pem", caKey.get()) || !writeKey(files.keyFile, serverKey.get()) ||
        !writeCert(files.certFile, server.get()) || !writeCert(files.caFile, ca.get())) {
        error = "cannot write the certificates in " + dir;
        return false;
    }
    return true;
}

} // namespace velkora::service
