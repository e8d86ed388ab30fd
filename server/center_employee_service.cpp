#include "server/center_employee_service.h"

#include "server/decimal_int32.h"
#include "server/feed.h"
#include "server/sql_batch.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace centeremp::server {

namespace {

// Operators type this path by hand into the control's settings; match it without regard to
// ASCII case so "centeremployee.asp" works too.
bool isResource(QByteArrayView path) { return path.compare(pages::resource, Qt::CaseInsensitive) == 0; }

bool isMonitorPage(QByteArrayView path) {
    return path == pages::health || path == pages::ready || path == pages::metrics;
}

// A database that takes longer than this to answer one short query is not ready for operators.
constexpr qint64 readyWithinMs = 1000;

bool isFormContentType(const QByteArray& contentType) {
    if (contentType.isEmpty()) return true;  // the control has always set it, but a bare body means the same thing
    const QByteArray mediaType = contentType.split(';').front().trimmed();
    return mediaType.compare("application/x-www-form-urlencoded", Qt::CaseInsensitive) == 0;
}

// The centres of a batch for the log: "7", or "7,8" for a batch over several.
QString centreList(const std::vector<qint32>& centres) {
    QStringList named;
    for (qint32 centre : centres) named << QString::number(centre);
    return named.join(u',');
}

// " 123, 456 and 30 more": enough to find them, short enough for a message box.
QString idList(const std::vector<qint32>& ids) {
    constexpr std::size_t shown = 10;
    QStringList names;
    for (std::size_t i = 0; i < std::min(ids.size(), shown); ++i) names << QString::number(ids[i]);
    QString text = names.join(u", ");
    if (ids.size() > shown) text += QStringLiteral(" and %1 more").arg(ids.size() - shown);
    return text;
}

// The first line is what operators have always been told; the statements that changed nothing
// because someone else had already made that change follow on lines of their own.
QString savedText(const ApplyResult& applied) {
    QString text = QStringLiteral("Saved: %1 assigned, %2 removed.").arg(applied.assigned).arg(applied.removed);
    if (!applied.alreadyAssigned.empty())
        text += QStringLiteral("\nAlready assigned by someone else: %1.").arg(idList(applied.alreadyAssigned));
    if (!applied.notAssigned.empty())
        text += QStringLiteral("\nNot assigned any more: %1.").arg(idList(applied.notAssigned));
    return text;
}

// Who may not use a centre hears so, and whose name it was.
HttpResponse forbidden(const SignedIn& who, qint32 centerId, const QString& prefix) {
    return HttpResponse::text(
        403, QStringLiteral("%1operator %2 may not use centre %3").arg(prefix, who.name).arg(centerId));
}

}  // namespace

CenterEmployeeService::CenterEmployeeService(DatabaseAddress database, QString connectionName,
                                             std::shared_ptr<SignInGate> gate, Clock clock,
                                             std::shared_ptr<FeedCache> feeds, Monitoring monitoring)
    : database_(std::move(database)),
      connectionName_(std::move(connectionName)),
      gate_(std::move(gate)),
      clock_(std::move(clock)),
      feeds_(std::move(feeds)),
      monitoring_(std::move(monitoring)) {}

CenterEmployeeService::~CenterEmployeeService() = default;

HttpResponse CenterEmployeeService::handle(const HttpRequest& request) {
    if (isMonitorPage(request.path)) return monitor(request);
    if (!isResource(request.path))
        return HttpResponse::text(404, QStringLiteral("not found: only /CenterEmployee.asp is served here"));
    const bool reading = request.method == "GET" || request.method == "HEAD";
    if (!reading && request.method != "POST") {
        HttpResponse response = HttpResponse::text(405, QStringLiteral("method not allowed: use GET or POST"));
        response.headers.emplace_back("Allow", "GET, HEAD, POST");
        return response;
    }
    auto admitted = admit(request);
    if (auto* answer = std::get_if<HttpResponse>(&admitted)) return std::move(*answer);
    const auto& [who, employees] = std::get<Admitted>(admitted);
    HttpResponse response = reading ? feed(request, who, *employees) : applyBatch(request, who, *employees);
    response.logOperator = who.name;
    return response;
}

HttpResponse CenterEmployeeService::monitor(const HttpRequest& request) {
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse response = HttpResponse::text(405, QStringLiteral("method not allowed: use GET"));
        response.headers.emplace_back("Allow", "GET, HEAD");
        return response;
    }
    if (request.path == pages::health) return HttpResponse::text(200, QStringLiteral("serving"));
    if (request.path == pages::ready) return readiness();
    return metrics(request);
}

// Ready when this worker's database connection answers a read of a real table in time.
HttpResponse CenterEmployeeService::readiness() {
    QElapsedTimer timer;
    timer.start();
    HttpResponse failure;
    EmployeeStore* employees = store(&failure);
    if (!employees) return failure;
    if (auto problem = employees->ping()) return databaseFailure(*problem);
    if (const qint64 took = timer.elapsed(); took > readyWithinMs) {
        HttpResponse slow = HttpResponse::text(503, QStringLiteral("not ready: the database is slow"));
        slow.logNote = QStringLiteral("not ready: the database answered in %1 ms").arg(took);
        return slow;
    }
    return HttpResponse::text(200, QStringLiteral("ready"));
}

HttpResponse CenterEmployeeService::metrics(const HttpRequest& request) {
    if (!monitoring_.metrics) return HttpResponse::text(404, QStringLiteral("not found: no metrics are kept"));
    if (!monitoring_.loopbackReads || !QHostAddress(request.remoteAddress).isLoopback()) {
        auto admitted = admit(request);
        if (auto* answer = std::get_if<HttpResponse>(&admitted)) return std::move(*answer);
        const SignedIn& who = std::get<Admitted>(admitted).who;
        if (!who.allCentres) {
            HttpResponse refused = HttpResponse::text(
                403, QStringLiteral("operator %1 may not read the metrics: only an operator of all centres may")
                         .arg(who.name));
            refused.logOperator = who.name;
            return refused;
        }
    }
    HttpResponse response;
    response.contentType = "text/plain; version=0.0.4; charset=utf-8";
    response.body = monitoring_.metrics->render();
    return response;
}

std::variant<CenterEmployeeService::Admitted, HttpResponse> CenterEmployeeService::admit(const HttpRequest& request) {
    HttpResponse failure;
    EmployeeStore* employees = store(&failure);
    if (!employees) return failure;
    auto admitted = gate_->admit(request, *employees);
    if (auto* refusal = std::get_if<HttpResponse>(&admitted)) return std::move(*refusal);
    if (auto* problem = std::get_if<StoreFailure>(&admitted)) return databaseFailure(*problem);
    return Admitted{std::get<SignedIn>(std::move(admitted)), employees};
}

void CenterEmployeeService::connect() {
    HttpResponse unused;
    store(&unused);
}

EmployeeStore* CenterEmployeeService::store(HttpResponse* failure) {
    if (!store_) {
        store_ = std::make_unique<EmployeeStore>(database_, connectionName_);
        store_->shareFeeds(feeds_);
    }
    if (!store_->isOpen()) {
        if (auto problem = store_->open()) {
            *failure = databaseFailure(*problem);
            return nullptr;
        }
    }
    return store_.get();
}

// The client learns what happened, never where the database lives or what its driver said:
// that goes to the log.
HttpResponse CenterEmployeeService::databaseFailure(const StoreFailure& failure, bool saving) {
    // Reconnect on the next request: the usual cause is a restarted or unreachable server.
    if (store_) store_->close();
    if (monitoring_.metrics) monitoring_.metrics->databaseFailed();
    QString message = failure.timedOut ? QStringLiteral("time-out: the database stayed busy; try again")
                                       : QStringLiteral("database unavailable; try again later");
    if (saving) message.prepend(u"nothing saved: "_qs);
    HttpResponse response = HttpResponse::text(503, message);
    response.headers.emplace_back("Retry-After", "5");
    response.logNote = QStringLiteral("%1 (%2)").arg(message, failure.message);
    return response;
}

HttpResponse CenterEmployeeService::feed(const HttpRequest& request, const SignedIn& who, EmployeeStore& employees) {
    std::optional<QByteArray> centerText;
    for (const auto& [name, value] : request.query) {
        if (name.compare("centerID", Qt::CaseInsensitive) != 0) continue;
        if (centerText) return HttpResponse::text(400, QStringLiteral("centerID given more than once"));
        centerText = value;
    }
    if (!centerText || centerText->isEmpty())
        return HttpResponse::text(400, QStringLiteral("missing centerID: use /CenterEmployee.asp?centerID=N"));
    const auto centerId = parseInt32(*centerText);
    if (!centerId) return HttpResponse::text(400, QStringLiteral("centerID is not a 32-bit integer"));

    if (!who.mayUse(*centerId)) return forbidden(who, *centerId, {});

    auto exists = employees.centreExists(*centerId);
    if (auto* problem = std::get_if<StoreFailure>(&exists)) return databaseFailure(*problem);
    if (!std::get<bool>(exists)) return HttpResponse::text(404, QStringLiteral("unknown centre %1").arg(*centerId));
    std::optional<quint64> generation;
    if (feeds_) {
        auto changes = employees.changeCount();
        if (auto* problem = std::get_if<StoreFailure>(&changes)) return databaseFailure(*problem);
        if (const auto count = std::get<std::optional<qint64>>(changes))
            generation = feeds_->observe(seenChanges_, *count);
    }
    std::optional<QByteArray> body = generation ? feeds_->find(*centerId, *generation) : std::nullopt;
    if (!body) {
        auto result = employees.centerFeed(*centerId);
        if (auto* problem = std::get_if<StoreFailure>(&result)) return databaseFailure(*problem);
        body = std::move(std::get<QByteArray>(result));
        if (generation) feeds_->keep(*centerId, *generation, *body);
    }

    HttpResponse response;
    response.logCentre = QString::number(*centerId);
    response.contentType = "text/xml; charset=utf-8";
    response.body = std::move(*body);
    return response;
}

HttpResponse CenterEmployeeService::applyBatch(const HttpRequest& request, const SignedIn& who,
                                               EmployeeStore& employees) {
    if (!isFormContentType(request.contentType)) {
        return HttpResponse::text(415, QStringLiteral("expected an application/x-www-form-urlencoded body"));
    }
    auto parsed = parseBatch(request.body);
    if (const auto* refusal = std::get_if<BatchRefusal>(&parsed)) {
        const int status = refusal->kind == BatchRefusal::Kind::TooLarge ? 413 : 400;
        return HttpResponse::text(status, QStringLiteral("nothing saved: %1").arg(refusal->reason));
    }

    const Batch& batch = std::get<Batch>(parsed);
    const std::vector<qint32> named = centresOf(batch);
    const QString centres = centreList(named);
    for (qint32 centre : named) {
        if (!who.mayUse(centre)) {
            HttpResponse refused = forbidden(who, centre, QStringLiteral("nothing saved: "));
            refused.logCentre = centres;
            return refused;
        }
    }

    const Actor actor{who.name, request.remoteAddress};
    auto result = employees.apply(batch, clock_(), actor);
    // Two batches crossing on the same pairs can deadlock in PostgreSQL, which cancels one of
    // them whole; nothing of it was kept, so it simply runs again.
    for (int retry = 0;
         retry < 2 && std::holds_alternative<StoreFailure>(result) && std::get<StoreFailure>(result).conflict; ++retry)
        result = employees.apply(batch, clock_(), actor);
    HttpResponse response = answerFor(result);
    response.logCentre = centres;
    return response;
}

HttpResponse CenterEmployeeService::answerFor(
    const std::variant<ApplyResult, UnassignableEmployee, UnknownCentre, StoreFailure>& result) {
    if (const auto* unknown = std::get_if<UnknownCentre>(&result))
        return HttpResponse::text(404, QStringLiteral("nothing saved: unknown centre %1").arg(unknown->centerId));
    if (const auto* unassignable = std::get_if<UnassignableEmployee>(&result)) {
        return HttpResponse::text(422,
                                  QStringLiteral("nothing saved: field %1: employee %2 %3")
                                      .arg(unassignable->fieldNumber)
                                      .arg(unassignable->employeeId)
                                      .arg(unassignable->exists ? QStringLiteral("is inactive and cannot be assigned")
                                                                : QStringLiteral("does not exist")));
    }
    if (const auto* problem = std::get_if<StoreFailure>(&result)) {
        if (problem->timedOut || !store_->isOpen()) return databaseFailure(*problem, true);
        store_->close();
        if (monitoring_.metrics) monitoring_.metrics->databaseFailed();
        HttpResponse response =
            HttpResponse::text(500, QStringLiteral("nothing saved: the database refused the batch"));
        response.logNote = u"nothing saved: "_qs + problem->message;
        return response;
    }
    const auto& applied = std::get<ApplyResult>(result);
    if (monitoring_.metrics) monitoring_.metrics->batchApplied(applied.assigned, applied.removed);
    return HttpResponse::text(200, savedText(applied));
}

}  // namespace centeremp::server
