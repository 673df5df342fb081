// Where a network port leads: rfc2217://HOST:PORT (Telnet with the serial line option) or
// tcp://HOST:PORT (raw bytes, the line set up on the server).
#pragma once

#include <QString>

#include <optional>

namespace tqm {

struct NetworkAddress {
    enum class Protocol { Rfc2217, Raw };
    Protocol protocol = Protocol::Rfc2217;
    QString host;
    quint16 port = 0;

    QString url() const;
};

// True for anything written as SCHEME://..., which is then an address or a mistake, never a path.
bool looksLikeUrl(const QString &text);

// The address `text` names; nullopt, with `error` set, when it is no address we can reach.
std::optional<NetworkAddress> parseNetworkAddress(const QString &text, QString *error = nullptr);

} // namespace tqm
