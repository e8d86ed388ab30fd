#pragma once

#include "surface/ui_services.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The sign-in the control's two transports share: the credentials that went through, the
// prompt that asks the operator for new ones, and the rule that a password goes over plain
// http only to this computer.
class SignIn {
public:
    static constexpr int kRefusalsAllowed = 3;

    explicit SignIn(UiServices& ui) : ui_(ui) {}
    SignIn(const SignIn&) = delete;
    SignIn& operator=(const SignIn&) = delete;
    ~SignIn();

    // Credentials a program got from its user itself: they go with every request from now
    // on, and the operator is asked only when the server refuses them.
    void setCredentials(const QString& user, const QString& password);

private:
    friend class SignInRound;
    UiServices& ui_;
    std::optional<Credentials> known_;  // sent with a request from its start
    QString lastUser_;                  // offered again when the operator is asked
};

// One request's dealings with sign-in: which credentials it carries, and what to do when the
// server answers 401. Without a SignIn the request carries none and a 401 is a plain status.
class SignInRound {
public:
    SignInRound(SignIn* signIn, const QString& address);

    // What the request carries now; none before the server asked. Known credentials and an
    // address no password may go to refuse the request before it is sent: failure() says so.
    const std::optional<Credentials>& credentials() const { return sending_; }
    // After a 401 with its WWW-Authenticate header: true when the request goes again with
    // credentials(), false when it ends; failure() then says why (empty without a SignIn).
    bool challenged(const QByteArray& wwwAuthenticate);
    // The server answered with something other than 401: what was sent went through.
    void answered();
    const QString& failure() const { return failure_; }

private:
    SignIn* signIn_;
    QString address_;
    std::optional<Credentials> sending_;
    int refusals_ = 0;
    QString failure_;
};

// Whether a password may go to this address: over https anywhere, over plain http only to a
// loopback address (127.0.0.0/8, ::1, localhost).
bool mayCarryPassword(const QString& address);

// The realm of a Basic challenge, or nothing when the header asks for no Basic sign-in.
std::optional<QString> basicRealm(const QByteArray& wwwAuthenticate);

// A user name Basic sign-in can carry: no colon and no control character. Returns why not,
// or an empty text.
QString userNameProblem(const QString& user);
