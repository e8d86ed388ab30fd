#include "server/admin_commands.h"

#include "server/employee_store.h"
#include "server/password_hash.h"
#include "server/sqlite_backup.h"

#include <sodium.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <string>

namespace centeremp::server {

namespace {

constexpr int exitDone = 0;
constexpr int exitDatabase = 1;
constexpr int exitRefused = 2;

// Long enough that guessing, even at the throttled rate, gets nowhere; the hash does the rest.
constexpr qsizetype minPasswordLength = 8;
constexpr qsizetype maxPasswordBytes = 1024;
constexpr qsizetype maxNameLength = 64;

void print(std::FILE* stream, const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

// A name is sent in the Basic credentials before a colon and printed in tab-separated lines:
// neither a colon nor a control character may be in it.
std::optional<QString> nameProblem(const QString& name) {
    if (name.isEmpty() || name.trimmed() != name)
        return u"an operator's name may not be empty or start or end with a blank"_qs;
    if (name.size() > maxNameLength)
        return QStringLiteral("an operator's name has at most %1 characters").arg(maxNameLength);
    for (const QChar c : name) {
        if (c == u':' || c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return u"an operator's name may not hold a colon or a control character"_qs;
    }
    return std::nullopt;
}

// One line of input, without its line end; the terminal does not echo it when it is one.
std::optional<QByteArray> readPassword(std::FILE* input, std::FILE* err) {
    const int descriptor = fileno(input);
    termios saved{};
    const bool terminal = isatty(descriptor) && tcgetattr(descriptor, &saved) == 0;
    if (terminal) {
        std::fputs("password: ", err);
        std::fflush(err);
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(descriptor, TCSAFLUSH, &quiet);
    }
    std::string line;
    bool tooLong = false;
    for (int c; (c = std::fgetc(input)) != EOF && c != '\n';) {
        if ((tooLong = qsizetype(line.size()) >= maxPasswordBytes)) break;
        line.push_back(char(c));
    }
    if (terminal) {
        tcsetattr(descriptor, TCSAFLUSH, &saved);
        std::fputs("\n", err);
    }
    if (tooLong) {
        sodium_memzero(line.data(), line.size());
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    QByteArray password(line.data(), qsizetype(line.size()));
    sodium_memzero(line.data(), line.size());
    return password;
}

QString centresOf(const OperatorAccount& account) {
    if (account.allCentres) return u"all centres"_qs;
    QStringList numbers;
    for (qint32 centre : account.centres) numbers << QString::number(centre);
    return numbers.isEmpty() ? u"no centres"_qs : numbers.join(u',');
}

class AdminRun {
public:
    AdminRun(EmployeeStore& store, std::FILE* out, std::FILE* err) : store_(store), out_(out), err_(err) {}

    int operatorAdd(const AdminCommand& command, std::FILE* passwordInput);
    int operatorRemove(const AdminCommand& command);
    int operatorList();
    int centreAdd(const AdminCommand& command);
    int centreList();
    int audit(const AdminCommand& command);
    // Opening the store has migrated it: this says what it found.
    int migrate() {
        const auto change = store_.schemaChange();
        if (change.from == change.to)
            print(out_, QStringLiteral("the schema is at version %1 already").arg(change.to));
        else
            print(out_, QStringLiteral("the schema went from version %1 to %2").arg(change.from).arg(change.to));
        return exitDone;
    }

private:
    int refuse(const QString& why) {
        print(err_, u"centeremp-server: "_qs + why);
        return exitRefused;
    }
    int databaseFailed(const StoreFailure& failure) {
        print(err_, u"centeremp-server: "_qs + failure.message);
        return exitDatabase;
    }

    EmployeeStore& store_;
    std::FILE* out_;
    std::FILE* err_;
};

int AdminRun::operatorAdd(const AdminCommand& command, std::FILE* passwordInput) {
    if (auto problem = nameProblem(command.name)) return refuse(*problem);
    auto existing = store_.operatorAccount(command.name);
    if (auto* problem = std::get_if<StoreFailure>(&existing)) return databaseFailed(*problem);
    if (std::get<std::optional<OperatorAccount>>(existing))
        return refuse(QStringLiteral("operator %1 exists already (operator remove, then add)").arg(command.name));
    auto known = store_.centres();
    if (auto* problem = std::get_if<StoreFailure>(&known)) return databaseFailed(*problem);
    const auto& centres = std::get<std::vector<Centre>>(known);
    for (qint32 wanted : command.centres) {
        if (std::none_of(centres.begin(), centres.end(), [wanted](const Centre& c) { return c.id == wanted; }))
            return refuse(QStringLiteral("there is no centre %1 (centre add %1 NAME)").arg(wanted));
    }
    auto password = readPassword(passwordInput, err_);
    if (!password) return refuse(QStringLiteral("the password is longer than %1 bytes").arg(maxPasswordBytes));
    const qsizetype length = QString::fromUtf8(*password).size();
    OperatorAccount account{command.name, {}, command.allCentres, command.centres};
    if (length >= minPasswordLength) account.passwordHash = hashPassword(*password);
    sodium_memzero(password->data(), std::size_t(password->size()));
    if (length < minPasswordLength)
        return refuse(QStringLiteral("the password (read from standard input) has fewer than %1 characters")
                          .arg(minPasswordLength));
    if (auto problem = store_.addOperator(account)) return databaseFailed(*problem);
    print(out_, QStringLiteral("operator %1 added: %2").arg(account.name, centresOf(account)));
    return exitDone;
}

int AdminRun::operatorRemove(const AdminCommand& command) {
    auto removed = store_.removeOperator(command.name);
    if (auto* problem = std::get_if<StoreFailure>(&removed)) return databaseFailed(*problem);
    if (!std::get<bool>(removed)) return refuse(QStringLiteral("there is no operator %1").arg(command.name));
    print(out_, QStringLiteral("operator %1 removed").arg(command.name));
    return exitDone;
}

int AdminRun::operatorList() {
    auto listed = store_.operators();
    if (auto* problem = std::get_if<StoreFailure>(&listed)) return databaseFailed(*problem);
    for (const OperatorAccount& account : std::get<std::vector<OperatorAccount>>(listed))
        print(out_, account.name + u'\t' + centresOf(account));
    return exitDone;
}

int AdminRun::centreAdd(const AdminCommand& command) {
    auto exists = store_.centreExists(*command.centre);
    if (auto* problem = std::get_if<StoreFailure>(&exists)) return databaseFailed(*problem);
    if (std::get<bool>(exists)) return refuse(QStringLiteral("centre %1 exists already").arg(*command.centre));
    if (auto problem = store_.addCentre(Centre{*command.centre, command.name})) return databaseFailed(*problem);
    print(out_, QStringLiteral("centre %1 added: %2").arg(*command.centre).arg(command.name));
    return exitDone;
}

int AdminRun::centreList() {
    auto listed = store_.centres();
    if (auto* problem = std::get_if<StoreFailure>(&listed)) return databaseFailed(*problem);
    for (const Centre& centre : std::get<std::vector<Centre>>(listed))
        print(out_, QString::number(centre.id) + u'\t' + centre.name);
    return exitDone;
}

int AdminRun::audit(const AdminCommand& command) {
    auto log = store_.auditLog(command.centre);
    if (auto* problem = std::get_if<StoreFailure>(&log)) return databaseFailed(*problem);
    for (const AuditEntry& entry : std::get<std::vector<AuditEntry>>(log)) {
        const QStringList fields = {entry.at.toUTC().toString(Qt::ISODateWithMs),
                                    entry.operatorName.isEmpty() ? u"-"_qs : entry.operatorName,
                                    entry.remoteAddress,
                                    QString::number(entry.centerId),
                                    QString::number(entry.employeeId),
                                    entry.added ? u"add"_qs : u"remove"_qs,
                                    entry.applied ? u"applied"_qs : u"no-op"_qs};
        print(out_, fields.join(u'\t'));
    }
    return exitDone;
}

}  // namespace

namespace {

// A copy as the database is, before anything (a migration) could change it.
int backup(const DatabaseAddress& database, const QString& target, std::FILE* out, std::FILE* err) {
    if (database.kind != DatabaseAddress::Kind::Sqlite) {
        print(err,
              u"centeremp-server: backup copies SQLite files; back PostgreSQL up with pg_dump or "
              "pg_basebackup (see the README)"_qs);
        return exitRefused;
    }
    auto copied = backupSqlite(database.sqlitePath, target);
    if (auto* problem = std::get_if<QString>(&copied)) {
        print(err, u"centeremp-server: "_qs + *problem);
        return exitDatabase;
    }
    const auto& done = std::get<BackupDone>(copied);
    print(out, QStringLiteral("backed up %1 pages (%2 bytes) to %3").arg(done.pages).arg(done.bytes).arg(target));
    return exitDone;
}

}  // namespace

int runAdminCommand(const DatabaseAddress& database, const AdminCommand& command, std::FILE* passwordInput,
                    std::FILE* out, std::FILE* err) {
    if (command.kind == AdminCommand::Kind::Backup) return backup(database, command.name, out, err);
    EmployeeStore store(database, QStringLiteral("centeremp-admin"));
    if (auto problem = store.open()) {
        print(err, u"centeremp-server: "_qs + problem->message);
        return exitDatabase;
    }
    AdminRun run(store, out, err);
    using Kind = AdminCommand::Kind;
    switch (command.kind) {
    case Kind::OperatorAdd: return run.operatorAdd(command, passwordInput);
    case Kind::OperatorRemove: return run.operatorRemove(command);
    case Kind::OperatorList: return run.operatorList();
    case Kind::CentreAdd: return run.centreAdd(command);
    case Kind::CentreList: return run.centreList();
    case Kind::Audit: return run.audit(command);
    case Kind::Migrate: return run.migrate();
    case Kind::Backup: break;  // above
    }
    return exitRefused;
}

}  // namespace centeremp::server
