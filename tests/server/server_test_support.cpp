#include "server_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>

namespace centeremp::servertest {

namespace {

QString serverProgram()
{
    return QStringLiteral(CENTEREMP_BIN_DIR "/centeremp-server");
}

bool waitForWritten(QTcpSocket &socket)
{
    QElapsedTimer timer;
    timer.start();
    while (socket.bytesToWrite() > 0) {
        if (socket.state() != QAbstractSocket::ConnectedState || timer.elapsed() > 60000)
            return false;
        socket.waitForBytesWritten(1000);
    }
    return true;
}

// Reads until the peer closes the connection (we always send Connection: close).
QByteArray readToEnd(QTcpSocket &socket, QByteArray received)
{
    QElapsedTimer timer;
    timer.start();
    while (socket.state() == QAbstractSocket::ConnectedState && timer.elapsed() < 60000) {
        socket.waitForReadyRead(1000);
        received += socket.readAll();
    }
    received += socket.readAll();
    return received;
}

HttpReply parseReply(const QByteArray &raw)
{
    HttpReply reply;
    const qsizetype headEnd = raw.indexOf("\r\n\r\n");
    if (!raw.startsWith("HTTP/1.") || headEnd < 0)
        return reply;
    reply.head = raw.first(headEnd);
    reply.status = raw.mid(9, 3).toInt();
    reply.body = raw.sliced(headEnd + 4);
    const QByteArray length = reply.header("Content-Length");
    if (!length.isEmpty())
        reply.body.truncate(length.toLongLong());
    return reply;
}

std::atomic<int> connectionCounter{0};

} // namespace

void ensureApplication()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "centeremp_server_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

QByteArray HttpReply::header(const QByteArray &name) const
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.sliced(colon + 1).trimmed();
    }
    return {};
}

HttpReply httpRequest(quint16 port, const QByteArray &method, const QByteArray &target, const QByteArray &body,
                      const QByteArray &contentType, bool chunked)
{
    ensureApplication();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000)) {
        ADD_FAILURE() << "cannot connect to port " << port << ": " << socket.errorString().toStdString();
        return {};
    }
    QByteArray head = method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                      "\r\nConnection: close\r\n";
    if (!contentType.isEmpty())
        head += "Content-Type: " + contentType + "\r\n";
    const bool expectContinue = body.size() > 1024 * 1024;
    if (chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (!body.isEmpty() || method == "POST")
        head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (expectContinue)
        head += "Expect: 100-continue\r\n";
    head += "\r\n";
    socket.write(head);

    QByteArray received;
    if (expectContinue) {
        waitForWritten(socket);
        QElapsedTimer timer;
        timer.start();
        while (!received.contains("\r\n\r\n") && timer.elapsed() < 10000 &&
               socket.state() == QAbstractSocket::ConnectedState) {
            socket.waitForReadyRead(200);
            received += socket.readAll();
        }
        if (!received.startsWith("HTTP/1.1 100"))
            return parseReply(readToEnd(socket, received)); // answered before the body
        received = received.sliced(received.indexOf("\r\n\r\n") + 4);
    }
    if (chunked) {
        constexpr qsizetype piece = 64 * 1024;
        for (qsizetype at = 0; at < body.size() && socket.state() == QAbstractSocket::ConnectedState; at += piece) {
            const QByteArray part = body.mid(at, piece);
            socket.write(QByteArray::number(part.size(), 16) + "\r\n" + part + "\r\n");
            if (!waitForWritten(socket))
                break;
        }
        socket.write("0\r\n\r\n");
    } else {
        socket.write(body);
    }
    waitForWritten(socket);
    return parseReply(readToEnd(socket, received));
}

QString insertStatement(qint32 centerId, qint32 employeeId)
{
    return QStringLiteral("INSERT INTO CenterEmployeeCrossReference (CenterID,EmployeeID,RecordLastUpdated) "
                          "VALUES (%1,%2,GETDATE()) ")
        .arg(centerId)
        .arg(employeeId);
}

QString deleteStatement(qint32 centerId, const std::vector<qint32> &employeeIds)
{
    QString list;
    for (qint32 id : employeeIds) {
        if (!list.isEmpty())
            list += u',';
        list += QString::number(id);
    }
    return QStringLiteral("DELETE FROM CenterEmployeeCrossReference WHERE CenterID=%1 AND EmployeeID IN(%2)")
        .arg(centerId)
        .arg(list);
}

QByteArray sqlField(const QString &statement)
{
    // Spaces as '+', everything but letters and digits escaped: the form the control posts.
    QByteArray encoded = QUrl::toPercentEncoding(statement.toLatin1(), " ");
    encoded.replace(' ', '+');
    return "SQL=" + encoded + '&';
}

ServerProcess::~ServerProcess()
{
    if (process_ && process_->state() != QProcess::NotRunning)
        stop();
}

bool ServerProcess::start(const QStringList &arguments)
{
    ensureApplication();
    process_ = std::make_unique<QProcess>();
    process_->start(serverProgram(), arguments + QStringList{u"--listen"_qs, u"127.0.0.1:0"_qs});
    if (!process_->waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << serverProgram().toStdString() << ": "
                      << process_->errorString().toStdString();
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (!process_->canReadLine() && process_->state() == QProcess::Running && timer.elapsed() < 20000)
        process_->waitForReadyRead(100);
    const QByteArray line = process_->readLine().trimmed();
    const QByteArray prefix = "listening on http://127.0.0.1:";
    if (!line.startsWith(prefix)) {
        process_->waitForFinished(1000);
        ADD_FAILURE() << "the server did not report where it listens; first line \"" << line.toStdString()
                      << "\"; stderr:\n"
                      << standardError().toStdString();
        return false;
    }
    bool ok = false;
    port_ = quint16(line.sliced(prefix.size()).toUInt(&ok));
    url_ = QString::fromLatin1(line.sliced(strlen("listening on ")));
    if (!ok || port_ == 0) {
        ADD_FAILURE() << "bad port in \"" << line.toStdString() << "\"";
        return false;
    }
    return true;
}

int ServerProcess::stop(bool interrupt)
{
    if (!process_)
        return -1;
    if (process_->state() != QProcess::NotRunning) {
        if (interrupt)
            ::kill(pid_t(process_->processId()), SIGINT);
        else
            process_->terminate();
        if (!process_->waitForFinished(15000)) {
            process_->kill();
            process_->waitForFinished(5000);
            return -1;
        }
    }
    standardError();
    return process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
}

QByteArray ServerProcess::standardError()
{
    if (process_)
        stderr_ += process_->readAllStandardError();
    return stderr_;
}

int runServerToExit(const QStringList &arguments, QByteArray *standardError, QByteArray *standardOutput)
{
    ensureApplication();
    QProcess process;
    process.start(serverProgram(), arguments);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (standardError)
        *standardError = process.readAllStandardError();
    if (standardOutput)
        *standardOutput = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TestDatabase::TestDatabase(const server::DatabaseAddress &address)
    : name_(QStringLiteral("test-%1").arg(connectionCounter.fetch_add(1)))
    , postgres_(address.kind == server::DatabaseAddress::Kind::Postgres)
{
    ensureApplication();
    db_ = QSqlDatabase::addDatabase(postgres_ ? u"QPSQL"_qs : u"QSQLITE"_qs, name_);
    if (postgres_) {
        db_.setHostName(address.host);
        if (address.port > 0)
            db_.setPort(address.port);
        db_.setUserName(address.user);
        db_.setPassword(address.password);
        db_.setDatabaseName(address.databaseName);
    } else {
        db_.setDatabaseName(address.sqlitePath);
        db_.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_qs);
    }
    if (!db_.open())
        ADD_FAILURE() << "test connection: " << db_.lastError().text().toStdString();
}

TestDatabase::~TestDatabase()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

void TestDatabase::exec(const QString &sql)
{
    QSqlQuery query(db_);
    if (!query.exec(sql))
        ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
}

qint64 TestDatabase::count(const QString &sql)
{
    QSqlQuery query(db_);
    if (!query.exec(sql) || !query.next()) {
        ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return -1;
    }
    return query.value(0).toLongLong();
}

void TestDatabase::addEmployees(const std::vector<TestEmployee> &employees)
{
    db_.transaction();
    QSqlQuery query(db_);
    query.prepare(u"INSERT INTO employees (ID, name, active) VALUES (?, ?, ?)"_qs);
    for (const TestEmployee &employee : employees) {
        query.bindValue(0, employee.id);
        query.bindValue(1, employee.name);
        query.bindValue(2, employee.active);
        if (!query.exec()) {
            ADD_FAILURE() << "employee " << employee.id << ": " << query.lastError().text().toStdString();
            break;
        }
    }
    if (!db_.commit())
        ADD_FAILURE() << db_.lastError().text().toStdString();
}

void TestDatabase::assign(qint32 centerId, const std::vector<qint32> &employeeIds, const QDateTime &when)
{
    db_.transaction();
    QSqlQuery query(db_);
    query.prepare(u"INSERT INTO CenterEmployeeCrossReference (CenterID, EmployeeID, RecordLastUpdated) "
                  "VALUES (?, ?, ?)"_qs);
    for (qint32 id : employeeIds) {
        query.bindValue(0, centerId);
        query.bindValue(1, id);
        query.bindValue(2, postgres_ ? QVariant(when.toUTC()) : QVariant(when.toUTC().toString(Qt::ISODateWithMs)));
        if (!query.exec()) {
            ADD_FAILURE() << "assignment " << centerId << "/" << id << ": " << query.lastError().text().toStdString();
            break;
        }
    }
    if (!db_.commit())
        ADD_FAILURE() << db_.lastError().text().toStdString();
}

QString TestDatabase::dump()
{
    QString text;
    for (const QString &sql : {u"SELECT ID, name, active FROM employees ORDER BY ID"_qs,
                               u"SELECT CenterID, EmployeeID, RecordLastUpdated FROM CenterEmployeeCrossReference "
                               "ORDER BY CenterID, EmployeeID"_qs}) {
        QSqlQuery query(db_);
        if (!query.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return {};
        }
        text += sql + u'\n';
        while (query.next()) {
            for (int column = 0; column < 3; ++column) {
                const QVariant value = query.value(column);
                text += value.typeId() == QMetaType::QDateTime ? value.toDateTime().toUTC().toString(Qt::ISODateWithMs)
                                                               : value.toString();
                text += u'|';
            }
            text += u'\n';
        }
    }
    return text;
}

std::vector<std::pair<qint32, qint32>> TestDatabase::assignments()
{
    std::vector<std::pair<qint32, qint32>> pairs;
    QSqlQuery query(db_);
    if (!query.exec(u"SELECT CenterID, EmployeeID FROM CenterEmployeeCrossReference ORDER BY CenterID, EmployeeID"_qs))
        ADD_FAILURE() << query.lastError().text().toStdString();
    while (query.next())
        pairs.emplace_back(query.value(0).toInt(), query.value(1).toInt());
    return pairs;
}

LiveServer::~LiveServer()
{
    stop();
}

bool LiveServer::available(Backend backend)
{
    return backend == Backend::Sqlite || qEnvironmentVariableIsSet("CENTEREMP_TEST_PG");
}

bool LiveServer::start(Backend backend, const QStringList &extraArguments)
{
    backend_ = backend;
    server::DatabaseAddress address;
    QString databaseArgument;
    if (backend == Backend::Sqlite) {
        if (!dir_.isValid()) {
            ADD_FAILURE() << "no temporary directory";
            return false;
        }
        address.kind = server::DatabaseAddress::Kind::Sqlite;
        address.sqlitePath = dir_.filePath(u"centeremp.sqlite"_qs);
        databaseArgument = address.sqlitePath;
    } else {
        const auto parsed = server::parseDatabaseAddress(qEnvironmentVariable("CENTEREMP_TEST_PG"));
        if (!std::holds_alternative<server::DatabaseAddress>(parsed)) {
            ADD_FAILURE() << "CENTEREMP_TEST_PG: " << std::get<QString>(parsed).toStdString();
            return false;
        }
        adminAddress_ = std::get<server::DatabaseAddress>(parsed);
        // A database of its own, so tests running in parallel never see each other's rows.
        postgresDatabase_ = QStringLiteral("centeremp_server_%1_%2")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(QRandomGenerator::global()->bounded(1000000));
        {
            TestDatabase admin(*adminAddress_);
            if (!admin.isOpen())
                return false;
            admin.exec(QStringLiteral("CREATE DATABASE %1").arg(postgresDatabase_));
        }
        address = *adminAddress_;
        address.databaseName = postgresDatabase_;
        QString uri = u"postgresql://"_qs + QString::fromUtf8(QUrl::toPercentEncoding(address.user));
        if (!address.password.isEmpty())
            uri += u':' + QString::fromUtf8(QUrl::toPercentEncoding(address.password));
        uri += u"@/"_qs + postgresDatabase_ + u"?host="_qs + QString::fromUtf8(QUrl::toPercentEncoding(address.host));
        if (address.port > 0)
            uri += u"&port="_qs + QString::number(address.port);
        databaseArgument = uri;
    }
    if (!process_.start(QStringList{u"--db"_qs, databaseArgument} + extraArguments))
        return false;
    db_ = std::make_unique<TestDatabase>(address);
    return db_->isOpen();
}

int LiveServer::stop()
{
    const int exitCode = process_.stop();
    db_.reset();
    if (adminAddress_ && !postgresDatabase_.isEmpty()) {
        TestDatabase admin(*adminAddress_);
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(postgresDatabase_));
        postgresDatabase_.clear();
    }
    return exitCode;
}

} // namespace centeremp::servertest
