#include "server/sign_in_gate.h"

#include "server/basic_credentials.h"
#include "server/employee_store.h"
#include "server/password_hash.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace centeremp::server {

namespace {

HttpResponse signInRequired(const QString& message) {
    HttpResponse response = HttpResponse::text(401, message);
    response.headers.emplace_back("WWW-Authenticate", basicChallenge);
    return response;
}

HttpResponse tooManyFailures(std::chrono::seconds wait) {
    HttpResponse response =
        HttpResponse::text(429, QStringLiteral("too many failed sign-ins: try again in %1 seconds").arg(wait.count()));
    response.headers.emplace_back("Retry-After", QByteArray::number(qint64(wait.count())));
    return response;
}

}  // namespace

bool SignedIn::mayUse(qint32 centerId) const {
    return allCentres || std::binary_search(centres.begin(), centres.end(), centerId);
}

std::optional<std::chrono::seconds> FailureThrottle::lockedFor(const QString& key, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto found = records_.find(key);
    if (found == records_.end() || found->second.lockedUntil <= now) return std::nullopt;
    // Rounded up: a client that waits as long as it was told is let in.
    return std::chrono::ceil<std::chrono::seconds>(found->second.lockedUntil - now);
}

void FailureThrottle::failed(const QString& key, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (records_.size() >= limits_.keys && !records_.contains(key)) {
        forgetQuietKeys(now);
        if (records_.size() >= limits_.keys) return;  // every key is locked out: nothing to count
    }
    Record& record = records_[key];
    record.lastFailure = now;
    std::erase_if(record.failures, [&](Clock::time_point at) { return now - at >= limits_.window; });
    record.failures.push_back(now);
    if (int(record.failures.size()) < limits_.failures) return;
    record.failures.clear();
    const int doublings = std::min(record.lockouts, 16);
    record.lockedUntil =
        now + std::min<std::chrono::seconds>(limits_.firstLockout * (1 << doublings), limits_.longestLockout);
    ++record.lockouts;
}

// Keys that have been quiet longer than the longest lock-out tell nothing any more. When a
// flood of names leaves no such key, the ones not locked out go: a lock-out is never lifted to
// make room, so nobody can flood their way past one.
void FailureThrottle::forgetQuietKeys(Clock::time_point now) {
    std::erase_if(records_, [&](const auto& entry) {
        return entry.second.lockedUntil <= now && now - entry.second.lastFailure >= limits_.longestLockout;
    });
    if (records_.size() >= limits_.keys)
        std::erase_if(records_, [&](const auto& entry) { return entry.second.lockedUntil <= now; });
}

std::size_t SignInGate::KeyHash::operator()(const Key& key) const {
    std::size_t hash = 0;
    std::memcpy(&hash, key.data(), sizeof hash);
    return hash;
}

bool SignInGate::KeyEqual::operator()(const Key& a, const Key& b) const {
    return sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

SignInGate::SignInGate(Settings settings) : settings_(settings), throttle_(settings.throttle) {
    if (sodium_init() < 0) throw std::runtime_error("libsodium could not be initialised");
    crypto_generichash_keygen(secret_.data());
}

SignInGate::Key SignInGate::keyFor(const QString& name, const QString& password) const {
    // The name cannot hold a NUL (control characters are refused), so name and password
    // cannot be shifted across the separator.
    const QByteArray text = name.toUtf8() + '\0' + password.toUtf8();
    Key key;
    crypto_generichash(key.data(), key.size(), reinterpret_cast<const unsigned char*>(text.constData()),
                       std::size_t(text.size()), secret_.data(), secret_.size());
    return key;
}

std::optional<SignInGate::Remembered> SignInGate::recall(const Key& key) {
    std::lock_guard lock(mutex_);
    const auto found = remembered_.find(key);
    if (found == remembered_.end()) return std::nullopt;
    return found->second;
}

SignedIn SignInGate::remember(const Key& key, const OperatorAccount& account, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (remembered_.size() >= settings_.remembered && !remembered_.contains(key)) {
        // Entries long past their time are of operators gone home; when even that frees
        // nothing, start over rather than grow without end.
        std::erase_if(remembered_,
                      [&](const auto& entry) { return entry.second.until + settings_.rememberFor <= now; });
        if (remembered_.size() >= settings_.remembered) remembered_.clear();
    }
    const SignedIn who{account.name, account.allCentres, account.centres};
    remembered_[key] = Remembered{who, account.passwordHash, now + settings_.rememberFor};
    return who;
}

void SignInGate::forget(const Key& key) {
    std::lock_guard lock(mutex_);
    remembered_.erase(key);
}

// Whether sign-in is needed at all, looked up again every few seconds: an operator added while
// the server runs closes it to everyone else at once.
std::variant<bool, StoreFailure> SignInGate::operatorsDefined(EmployeeStore& store, Clock::time_point now) {
    {
        std::lock_guard lock(mutex_);
        if (operatorsDefined_ && now - operatorsCheckedAt_ < settings_.operatorsCheckedEvery) return *operatorsDefined_;
    }
    auto defined = store.hasOperators();
    if (auto* problem = std::get_if<StoreFailure>(&defined)) return *problem;
    std::lock_guard lock(mutex_);
    operatorsDefined_ = std::get<bool>(defined);
    operatorsCheckedAt_ = now;
    return *operatorsDefined_;
}

std::variant<SignedIn, HttpResponse, StoreFailure> SignInGate::admit(const HttpRequest& request, EmployeeStore& store) {
    const Clock::time_point now = Clock::now();
    auto defined = operatorsDefined(store, now);
    if (auto* problem = std::get_if<StoreFailure>(&defined)) return *problem;
    if (!std::get<bool>(defined)) return SignedIn{QString(), true, {}};

    if (request.authorization.isEmpty()) return signInRequired(QStringLiteral("sign-in required"));
    const QString addressKey = u"address "_qs + request.remoteAddress;
    const auto credentials = parseBasicAuthorization(request.authorization);
    const QString nameKey = credentials ? u"name "_qs + credentials->name : QString();
    for (const QString& key : {addressKey, nameKey}) {
        if (key.isEmpty()) continue;
        if (auto wait = throttle_.lockedFor(key, now)) {
            HttpResponse refused = tooManyFailures(*wait);
            if (credentials) refused.logOperator = credentials->name;
            return refused;
        }
    }
    if (!credentials) {
        throttle_.failed(addressKey, now);
        return signInRequired(QStringLiteral("sign-in required: the credentials are not HTTP Basic in UTF-8"));
    }

    const Key key = keyFor(credentials->name, credentials->password);
    const auto remembered = recall(key);
    if (remembered && remembered->until > now) return remembered->who;
    auto looked = store.operatorAccount(credentials->name);
    if (auto* problem = std::get_if<StoreFailure>(&looked)) return *problem;
    const auto& account = std::get<std::optional<OperatorAccount>>(looked);
    // The password was verified against this very hash: the operator still signs in with it.
    if (remembered && account && remembered->passwordHash.size() == account->passwordHash.size() &&
        sodium_memcmp(remembered->passwordHash.constData(), account->passwordHash.constData(),
                      std::size_t(account->passwordHash.size())) == 0) {
        return remember(key, *account, now);
    }
    if (remembered) forget(key);
    // An unknown name costs the same Argon2 run as a wrong password, so timing tells no names.
    const bool verified = verifyPassword(account ? QByteArrayView(account->passwordHash) : QByteArrayView(),
                                         credentials->password.toUtf8());
    if (!verified || !account) {
        throttle_.failed(addressKey, now);
        throttle_.failed(nameKey, now);
        HttpResponse refused = signInRequired(QStringLiteral("sign-in refused: unknown name or wrong password"));
        refused.logOperator = credentials->name;
        return refused;
    }
    return remember(key, *account, now);
}

}  // namespace centeremp::server
