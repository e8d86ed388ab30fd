#pragma once

#include "server/database_address.h"

#include <QString>
#include <QStringList>

#include <variant>

namespace centeremp::server {

struct ListenAddress {
    QString host = QStringLiteral("127.0.0.1");  // an IPv4 or IPv6 literal
    quint16 port = 8080;                         // 0: any free port
    bool isIpv6() const { return host.contains(u':'); }
    // http://127.0.0.1:8080 or http://[::1]:8080, with the given port.
    QString url(quint16 actualPort) const;
};

struct ServerOptions {
    DatabaseAddress database;
    ListenAddress listen;
    bool demo = false;
    int threads = 0;  // workers answering requests; 0: one per processor core
};

struct HelpRequested {};

struct CommandLineError {
    QString message;
};

// arguments excludes the program name.
std::variant<ServerOptions, HelpRequested, CommandLineError> parseCommandLine(const QStringList& arguments);

// ADDRESS:PORT with ADDRESS an IPv4 literal, [IPv6 literal] or localhost.
std::variant<ListenAddress, QString> parseListenAddress(const QString& text);

QString usageText();

}  // namespace centeremp::server
