#pragma once

#include "server/employee_store.h"
#include "server/http_server.h"

#include <QString>

#include <array>
#include <chrono>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

namespace centeremp::server {

// Who a request comes from, once the gate let it in.
struct SignedIn {
    QString name;  // empty when no operator is defined and the server serves without sign-in
    bool allCentres = false;
    std::vector<qint32> centres;  // ascending
    bool mayUse(qint32 centerId) const;
};

// Counts failed sign-ins by key (a name, an address). After too many within a window the key
// is locked out for a while, longer after each lock-out, up to a ceiling; a lock-out ends the
// count. Locked keys are refused whatever they send.
class FailureThrottle {
public:
    using Clock = std::chrono::steady_clock;
    struct Limits {
        int failures = 5;
        std::chrono::seconds window{60};
        std::chrono::seconds firstLockout{60};
        std::chrono::seconds longestLockout{15 * 60};
        std::size_t keys = 100000;  // keys remembered at most; the oldest quiet ones go first
    };
    FailureThrottle() : FailureThrottle(Limits{}) {}
    explicit FailureThrottle(Limits limits) : limits_(limits) {}

    // The time left of the key's lock-out, or nothing when it may try.
    std::optional<std::chrono::seconds> lockedFor(const QString& key, Clock::time_point now);
    void failed(const QString& key, Clock::time_point now);

private:
    struct Record {
        std::vector<Clock::time_point> failures;  // within the window, oldest first
        Clock::time_point lockedUntil{};
        int lockouts = 0;
        Clock::time_point lastFailure{};
    };
    void forgetQuietKeys(Clock::time_point now);

    Limits limits_;
    std::mutex mutex_;
    std::unordered_map<QString, Record> records_;
};

// Decides who may come in. With no operator defined, everyone may (the server then listens on
// loopback only, or where its owner said it should be open). Otherwise every request needs the
// name and password of an operator (HTTP Basic); the password is checked against its Argon2id
// hash on the worker that asks. A verified sign-in is remembered under a keyed hash of name and
// password, so the next requests cost a lookup, not another Argon2 run. After a short while the
// operator's row is read again: a removed operator, a new password or other centres take effect
// then, and an unchanged password hash needs no new Argon2 run. Failures are throttled by name
// and by address. Shared by every worker.
class SignInGate {
public:
    using Clock = std::chrono::steady_clock;
    struct Settings {
        std::chrono::seconds rememberFor{30};  // also how soon a removed operator is shut out
        std::chrono::seconds operatorsCheckedEvery{2};
        std::size_t remembered = 10000;
        FailureThrottle::Limits throttle;
    };
    SignInGate() : SignInGate(Settings{}) {}
    explicit SignInGate(Settings settings);

    // The operator, the answer to give instead (401, 429), or why the database could not tell.
    std::variant<SignedIn, HttpResponse, StoreFailure> admit(const HttpRequest& request, EmployeeStore& store);

private:
    using Key = std::array<unsigned char, 32>;
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    struct KeyEqual {
        bool operator()(const Key& a, const Key& b) const;  // in constant time
    };
    struct Remembered {
        SignedIn who;
        QByteArray passwordHash;  // as it was when the password was verified
        Clock::time_point until;
    };

    std::variant<bool, StoreFailure> operatorsDefined(EmployeeStore& store, Clock::time_point now);
    Key keyFor(const QString& name, const QString& password) const;
    std::optional<Remembered> recall(const Key& key);
    SignedIn remember(const Key& key, const OperatorAccount& account, Clock::time_point now);
    void forget(const Key& key);

    Settings settings_;
    std::array<unsigned char, 32> secret_{};  // the key of the keyed hash; never leaves memory
    FailureThrottle throttle_;
    std::mutex mutex_;  // guards what follows
    std::unordered_map<Key, Remembered, KeyHash, KeyEqual> remembered_;
    std::optional<bool> operatorsDefined_;
    Clock::time_point operatorsCheckedAt_{};
};

}  // namespace centeremp::server
