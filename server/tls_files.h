#pragma once

#include "server/http_server.h"

#include <QString>

#include <variant>

namespace centeremp::server {

// Reads a PEM certificate chain and its private key and checks that they belong together; the
// message names the file and what is wrong with it.
std::variant<TlsCredentials, QString> loadTlsCredentials(const QString& certificateFile, const QString& keyFile);

}  // namespace centeremp::server
