#pragma once

#include "server/database_address.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace centeremp::server {

struct ListenAddress {
    QString host = QStringLiteral("127.0.0.1");  // an IPv4 or IPv6 literal
    quint16 port = 8080;                         // 0: any free port
    bool isIpv6() const { return host.contains(u':'); }
    // 127.0.0.0/8 or ::1: only programs on this machine reach it.
    bool isLoopback() const;
    // http://127.0.0.1:8080 or http://[::1]:8080 (https with tls), with the given port.
    QString url(quint16 actualPort, bool tls = false) const;
};

// What the administration commands do instead of serving: look after the operators, the
// centres, read the assignment log, upgrade the schema, back the database up.
struct AdminCommand {
    enum class Kind { OperatorAdd, OperatorRemove, OperatorList, CentreAdd, CentreList, Audit, Migrate, Backup };
    Kind kind = Kind::OperatorList;
    QString name;  // the operator's, the new centre's, or the backup's file
    bool allCentres = false;
    std::vector<qint32> centres;   // operator add --centres
    std::optional<qint32> centre;  // centre add ID, audit --centre N
};

struct ServerOptions {
    DatabaseAddress database;
    ListenAddress listen;
    bool demo = false;
    int threads = 0;         // workers answering requests; 0: one per processor core
    QString tlsCertificate;  // PEM files; both set: HTTPS only
    QString tlsKey;
    bool open = false;  // no operator defined, yet served beyond loopback: its owner says so
    // A load balancer or proxy in front: every client has its address, so nothing is limited
    // per address (connections, bodies in flight).
    bool behindProxy = false;
    // Web pages that may POST from a browser (--allow-origin), as browsers write Origin.
    std::vector<QByteArray> trustedOrigins;
    std::optional<AdminCommand> admin;
};

struct HelpRequested {};

struct CommandLineError {
    QString message;
};

// arguments excludes the program name.
std::variant<ServerOptions, HelpRequested, CommandLineError> parseCommandLine(const QStringList& arguments);

// ADDRESS:PORT with ADDRESS an IPv4 literal, [IPv6 literal] or localhost.
std::variant<ListenAddress, QString> parseListenAddress(const QString& text);

// scheme://host[:port] as a browser sends it in Origin: lower case, no default port.
std::variant<QByteArray, QString> parseOrigin(const QString& text);

QString usageText();

// The command line with the configuration file that --config FILE names read into it: every
// setting of the file ("name = value", one a line, named as the long option without its dashes;
// yes or no for the options without a value; allow-origin may repeat; blank lines and lines
// starting with # are skipped) goes in front as the option it stands for, unless the command
// line gives that option itself. With an administration command only db is taken from the file.
// readFile gives a file's contents, or nothing when it cannot be read.
using ReadFile = std::optional<QByteArray> (*)(const QString& path);
std::variant<QStringList, CommandLineError> withConfigFile(const QStringList& arguments, ReadFile readFile);

}  // namespace centeremp::server
