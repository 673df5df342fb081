// Network port addresses, read with QUrl so that [v6]:port and names alike are taken.
#include "serial/network_address.h"

#include <QUrl>

namespace tqm {

QString NetworkAddress::url() const {
    const bool v6 = host.contains(QLatin1Char(':'));
    return QStringLiteral("%1://%2:%3")
        .arg(protocol == Protocol::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp"),
             v6 ? QLatin1Char('[') + host + QLatin1Char(']') : host)
        .arg(port);
}

bool looksLikeUrl(const QString &text) {
    return text.contains(QLatin1String("://"));
}

std::optional<NetworkAddress> parseNetworkAddress(const QString &text, QString *error) {
    const auto bad = [&](const QString &why) -> std::optional<NetworkAddress> {
        if (error)
            *error = QStringLiteral("\"%1\" is not rfc2217://HOST:PORT or tcp://HOST:PORT: %2")
                         .arg(text, why);
        return std::nullopt;
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return bad(QStringLiteral("malformed"));
    NetworkAddress address;
    if (url.scheme() == QLatin1String("rfc2217"))
        address.protocol = NetworkAddress::Protocol::Rfc2217;
    else if (url.scheme() == QLatin1String("tcp"))
        address.protocol = NetworkAddress::Protocol::Raw;
    else
        return bad(QStringLiteral("unknown scheme \"%1\"").arg(url.scheme()));
    if (url.host().isEmpty())
        return bad(QStringLiteral("no host"));
    if (url.port() < 1)
        return bad(QStringLiteral("no port"));
    if (!url.userInfo().isEmpty() || (!url.path().isEmpty() && url.path() != QLatin1String("/")) ||
        url.hasQuery() || url.hasFragment())
        return bad(QStringLiteral("nothing may follow the port"));
    address.host = url.host();
    address.port = quint16(url.port());
    return address;
}

} // namespace tqm
