#include "server/tls_files.h"

#include <QFile>

#include <gnutls/gnutls.h>

#include <memory>

namespace centeremp::server {

namespace {

// Far above any certificate chain or key; a larger file is not one.
constexpr qint64 maxPemBytes = 1024 * 1024;

std::variant<QByteArray, QString> readPem(const QString& path, const QString& what) {
    QFile file(path);
    if (!file.exists()) return QStringLiteral("the TLS %1 file %2 does not exist").arg(what, path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the TLS %1 file %2: %3").arg(what, path, file.errorString());
    QByteArray text = file.read(maxPemBytes + 1);
    if (text.size() > maxPemBytes || text.isEmpty())
        return QStringLiteral("the TLS %1 file %2 is %3")
            .arg(what, path, text.isEmpty() ? u"empty"_qs : u"too large"_qs);
    return text;
}

}  // namespace

std::variant<TlsCredentials, QString> loadTlsCredentials(const QString& certificateFile, const QString& keyFile) {
    auto certificate = readPem(certificateFile, QStringLiteral("certificate"));
    if (auto* problem = std::get_if<QString>(&certificate)) return *problem;
    auto key = readPem(keyFile, QStringLiteral("key"));
    if (auto* problem = std::get_if<QString>(&key)) return *problem;

    // The same check the server's TLS library makes when it starts, made here so that a wrong
    // file is named instead of the server failing to listen.
    gnutls_certificate_credentials_t raw = nullptr;
    if (gnutls_certificate_allocate_credentials(&raw) != GNUTLS_E_SUCCESS)
        return QStringLiteral("cannot check the TLS certificate: out of memory");
    const std::unique_ptr<gnutls_certificate_credentials_st, decltype(&gnutls_certificate_free_credentials)>
        credentials(raw, &gnutls_certificate_free_credentials);
    QByteArray& certificateText = std::get<QByteArray>(certificate);
    QByteArray& keyText = std::get<QByteArray>(key);
    const gnutls_datum_t certificateDatum{reinterpret_cast<unsigned char*>(certificateText.data()),
                                          unsigned(certificateText.size())};
    const gnutls_datum_t keyDatum{reinterpret_cast<unsigned char*>(keyText.data()), unsigned(keyText.size())};
    const int result = gnutls_certificate_set_x509_key_mem2(credentials.get(), &certificateDatum, &keyDatum,
                                                            GNUTLS_X509_FMT_PEM, nullptr, 0);
    if (result < 0) {
        return QStringLiteral("the TLS certificate %1 and key %2 cannot be used together: %3")
            .arg(certificateFile, keyFile, QString::fromUtf8(gnutls_strerror(result)));
    }
    // The daemon reads both as C strings.
    return TlsCredentials{certificateText, keyText};
}

}  // namespace centeremp::server
