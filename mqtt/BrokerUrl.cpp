#include "BrokerUrl.h"

#include <QRegularExpression>
#include <QUrl>

namespace mqtt {

namespace {
constexpr int PlainPort = 1883;
constexpr int TlsPort = 8883;
// Home Assistant takes only these characters in a discovery topic's levels, and '/', '+' and
// '#' would change what the topics mean.
const QRegularExpression IdPattern(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
// Started without a port, the program cannot know which regulator it will show.
const QString FallbackId = QStringLiteral("vellicor");
}  // namespace

bool isTopicId(const QString& id) {
    return IdPattern.match(id).hasMatch();
}

QString defaultId(const std::optional<QString>& portName) {
    QString id = portName ? idFromPortName(*portName) : QString();
    if (id.isEmpty()) id = FallbackId;
    id.truncate(64);
    return id;
}

QString idFromPortName(const QString& portName) {
    const qsizetype cut = std::max(portName.lastIndexOf(u'/'), portName.lastIndexOf(u'\\'));
    const QString base = portName.mid(cut + 1).toLower();
    QString id;
    bool gap = false;
    for (const QChar c : base) {
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
        if (kept) {
            if (gap && !id.isEmpty()) id += u'_';
            id += c;
        }
        gap = !kept;
    }
    return id;
}

std::optional<BrokerSettings> parseBrokerUrl(const QString& text, QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error) *error = reason;
        return std::nullopt;
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) return fail(QStringLiteral("not a broker URL: %1").arg(url.errorString()));
    const QString scheme = url.scheme().toLower();
    if (scheme != u"mqtt" && scheme != u"mqtts")
        return fail(
            QStringLiteral("the broker URL must start with mqtt:// or mqtts://: \"%1\"").arg(text));
    if (url.host().isEmpty())
        return fail(QStringLiteral("the broker URL names no host: \"%1\"").arg(text));
    if (!url.password().isEmpty() || url.userInfo().contains(u':'))
        return fail(QStringLiteral("put no password in the broker URL; set %1 instead")
                        .arg(PasswordVariable));
    if (url.authority().contains(u'@') && url.userName().isEmpty())
        return fail(QStringLiteral("the broker URL names an empty user: \"%1\"").arg(text));
    if (!url.path().isEmpty() && url.path() != u"/")
        return fail(QStringLiteral("the broker URL may hold no path: \"%1\"").arg(text));
    if (url.hasQuery() || url.hasFragment())
        return fail(
            QStringLiteral("the broker URL may hold no query or fragment: \"%1\"").arg(text));
    if (url.port() == 0) return fail(QStringLiteral("port 0 is no broker port: \"%1\"").arg(text));

    BrokerSettings s;
    s.tls = scheme == u"mqtts";
    s.host = url.host();
    s.port = url.port(s.tls ? TlsPort : PlainPort);
    s.user = url.userName();
    return s;
}

}  // namespace mqtt
