#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace centeremp::server {

struct BasicCredentials {
    QString name;
    QString password;
};

// The realm the server asks operators to sign in to, and the challenge that asks for it.
inline constexpr char signInRealm[] = "TarvoCenterEmp";
inline constexpr char basicChallenge[] = "Basic realm=\"TarvoCenterEmp\", charset=\"UTF-8\"";

// The name and password of an "Authorization: Basic ..." header: base64 of the UTF-8 text
// "name:password" (the name has no colon; the password may). Nothing for another scheme, bad
// base64, text that is not UTF-8 or has control characters, or no colon.
std::optional<BasicCredentials> parseBasicAuthorization(QByteArrayView header);

}  // namespace centeremp::server
