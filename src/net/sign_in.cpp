#include "net/sign_in.h"
#include "rules/texts.h"

#include "surface/ui_services.h"

#include <QUrl>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

constexpr qsizetype kShownRealmLength = 100;

bool isLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QByteArray text = host.toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) != 1) return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    // ::ffff:127.x.y.z reaches this computer's IPv4 loopback.
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

// The server as the operator knows it: scheme, host and port, without path or user.
QString serverOf(const QString& address) {
    const QUrl url(address);
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).toString();
}

// A realm as the prompt may show it: no control characters, a sane length.
QString shownRealm(const QString& realm) {
    QString shown;
    for (const QChar c : realm) shown += c.isPrint() ? c : QChar(u'?');
    if (shown.size() > kShownRealmLength) shown = shown.left(kShownRealmLength) + QChar(u'\u2026');
    return shown;
}

bool isTokenChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           QByteArray("!#$%&'*+-.^_`|~").contains(c);
}

// The reader of a WWW-Authenticate value: challenges (a scheme and its parameters) separated
// by commas, as RFC 9110 writes them.
class ChallengeReader {
public:
    explicit ChallengeReader(const QByteArray& text) : text_(text) {}

    std::optional<QString> basicRealm() {
        QByteArray scheme;
        std::optional<QString> realm;
        while (skipSeparators()) {
            const QByteArray word = token();
            if (word.isEmpty()) {
                ++at_;  // a character no challenge has: passed over
                continue;
            }
            skipBlanks();
            if (at_ < text_.size() && text_[at_] == '=') {
                ++at_;
                skipBlanks();
                const QByteArray value = paramValue();
                if (scheme == "basic" && word.toLower() == "realm" && realm->isNull()) realm = QString::fromUtf8(value);
                continue;
            }
            if (scheme == "basic") break;  // the next challenge starts
            scheme = word.toLower();
            if (scheme == "basic") realm = QString();  // null until a realm parameter comes
        }
        if (scheme != "basic") return std::nullopt;
        return realm->isNull() ? QString(QLatin1String("")) : *realm;
    }

private:
    bool skipSeparators() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == ',')) ++at_;
        return at_ < text_.size();
    }
    void skipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    }
    QByteArray token() {
        const qsizetype start = at_;
        while (at_ < text_.size() && isTokenChar(text_[at_])) ++at_;
        return text_.mid(start, at_ - start);
    }
    QByteArray paramValue() {
        if (at_ >= text_.size() || text_[at_] != '"') return token();
        QByteArray value;
        for (++at_; at_ < text_.size(); ++at_) {
            if (text_[at_] == '"') {
                ++at_;
                break;
            }
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
            value += text_[at_];
        }
        return value;
    }

    const QByteArray& text_;
    qsizetype at_ = 0;
};

}  // namespace

bool mayCarryPassword(const QString& address) {
    const QUrl url(address);
    if (url.scheme() == QLatin1String("https")) return true;
    return url.scheme() == QLatin1String("http") && isLoopbackHost(url.host());
}

std::optional<QString> basicRealm(const QByteArray& wwwAuthenticate) {
    return ChallengeReader(wwwAuthenticate).basicRealm();
}

QString userNameProblem(const QString& user) {
    if (user.contains(u':')) return Texts::tr("a user name cannot hold a colon");
    for (const QChar c : user)
        if (c.category() == QChar::Other_Control) return Texts::tr("a user name cannot hold a control character");
    return {};
}

SignIn::~SignIn() = default;

void SignIn::setCredentials(const QString& user, const QString& password) {
    known_ = Credentials{user, password};
    lastUser_ = user;
}

namespace {
QString plainHttp() {
    return Texts::tr(
        "a password goes over plain http only to this computer, and this server is elsewhere: use an https:// "
        "address");
}
}  // namespace

SignInRound::SignInRound(SignIn* signIn, const QString& address) : signIn_(signIn), address_(address) {
    if (!signIn_ || !signIn_->known_) return;
    if (mayCarryPassword(address_))
        sending_ = signIn_->known_;
    else
        failure_ = plainHttp();  // refused before anything goes out
}

bool SignInRound::challenged(const QByteArray& wwwAuthenticate) {
    if (!signIn_) return false;
    if (sending_) {
        // Refused: they are no longer sent unasked.
        ++refusals_;
        signIn_->known_.reset();
        sending_.reset();
    } else if (signIn_->known_ && mayCarryPassword(address_)) {
        // Credentials that went through meanwhile: tried before the operator is asked.
        sending_ = signIn_->known_;
        return true;
    }
    if (refusals_ >= SignIn::kRefusalsAllowed) {
        failure_ = Texts::tr("the server refused the sign-in %1 times in a row").arg(refusals_);
        return false;
    }
    const std::optional<QString> realm = basicRealm(wwwAuthenticate);
    if (!realm) {
        failure_ = Texts::tr("the server asks for a kind of sign-in the control does not know");
        return false;
    }
    if (!mayCarryPassword(address_)) {
        failure_ = Texts::tr("the server asks for a password: ") + plainHttp();
        return false;
    }
    std::optional<Credentials> answer =
        signIn_->ui_.askCredentials(serverOf(address_), shownRealm(*realm), signIn_->lastUser_);
    if (!answer) {
        failure_ = Texts::tr("the sign-in was cancelled");
        return false;
    }
    if (const QString problem = userNameProblem(answer->user); !problem.isEmpty()) {
        failure_ = Texts::tr("the sign-in could not be sent: %1").arg(problem);
        return false;
    }
    signIn_->lastUser_ = answer->user;
    sending_ = std::move(answer);
    return true;
}

void SignInRound::answered() {
    if (signIn_ && sending_) signIn_->known_ = sending_;
}
