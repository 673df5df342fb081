// Option negotiation after RFC 1143's rules, reduced to options we never turn off ourselves: an
// answer only where the state changes, so two sides cannot answer each other for ever.
#include "serial/telnet_codec.h"

#include <cstring>
#include <initializer_list>
#include <utility>

namespace tqm {

namespace {

enum : uint8_t {
    kSe = 240,
    kSb = 250,
    kWill = 251,
    kWont = 252,
    kDo = 253,
    kDont = 254,
};

// The line option's sub-commands, client to server.
enum : uint8_t {
    kSetBaudRate = 1,
    kSetDataSize = 2,
    kSetParity = 3,
    kSetStopSize = 4,
    kSetControl = 5,
    kPurgeData = 12,
};

QByteArray bytes(std::initializer_list<uint8_t> list) {
    QByteArray out;
    for (const uint8_t b : list)
        out.append(char(b));
    return out;
}

QByteArray verb(uint8_t verb, uint8_t option) {
    return bytes({TelnetCodec::kIac, verb, option});
}

} // namespace

QByteArray TelnetCodec::start() {
    local_[kBinary] = WantYes;
    remote_[kBinary] = WantYes;
    local_[kComPort] = WantYes;
    return verb(kWill, kBinary) + verb(kDo, kBinary) + verb(kWill, kComPort);
}

bool TelnetCodec::settled() const {
    return local_[kBinary] == Yes && remote_[kBinary] == Yes && local_[kComPort] != WantYes;
}

TelnetCodec::Output TelnetCodec::feed(const QByteArray &bytes) {
    Output out;
    out.data.reserve(bytes.size());
    const char *const begin = bytes.constData();
    const char *const end = begin + bytes.size();
    for (const char *p = begin; p != end;) {
        if (parse_ == Data) {
            // Device data comes in long runs between commands: each run is copied whole.
            const auto *iac = static_cast<const char *>(std::memchr(p, kIac, size_t(end - p)));
            const char *const stop = iac ? iac : end;
            out.data.append(p, stop - p);
            p = stop;
            if (iac) {
                parse_ = Iac;
                ++p;
            }
            continue;
        }
        const auto b = uint8_t(*p++);
        switch (parse_) {
        case Data:
            break;
        case Iac:
            parse_ = Data;
            if (b == kIac)
                out.data.append(char(b));
            else if (b >= kWill)
                verb_ = b, parse_ = Option;
            else if (b == kSb)
                parse_ = Sub;
            // Any other command (NOP, GA, a stray SE, ...) means nothing to a serial line.
            break;
        case Option:
            parse_ = Data;
            command(verb_, b, out);
            break;
        case Sub:
            if (b == kIac)
                parse_ = SubIac;
            break;
        case SubIac:
            // IAC SE ends it, IAC IAC is a data byte inside it; an IAC before anything else
            // breaks the rule, so the sub-negotiation is taken as ended and the command read.
            if (b == kSe)
                parse_ = Data;
            else if (b == kIac)
                parse_ = Sub;
            else if (b >= kWill)
                verb_ = b, parse_ = Option;
            else
                parse_ = b == kSb ? Sub : Data;
            break;
        }
    }
    return out;
}

void TelnetCodec::command(uint8_t what, uint8_t option, Output &out) {
    switch (what) {
    case kWill:
        remote(option, true, out);
        break;
    case kWont:
        remote(option, false, out);
        break;
    case kDo:
        local(option, true, out);
        break;
    default:
        local(option, false, out);
        break;
    }
}

// The server's WILL or WONT: whether it sends binary.
void TelnetCodec::remote(uint8_t option, bool on, Output &out) {
    State &state = remote_[option];
    if (option != kBinary) {
        if (on && !std::exchange(refusedWill_[option], true))
            out.reply += verb(kDont, option);
        return;
    }
    const State was = std::exchange(state, on ? Yes : No);
    if (was == state)
        return;
    if (was == No)
        out.reply += verb(kDo, option); // offered: taken
    else if (was == Yes)
        out.reply += verb(kDont, option); // withdrawn: agreed
    if (on) {
        out.events << Event::BinaryIn;
    } else {
        binaryRefused_ = true;
        out.events << Event::BinaryRefused;
    }
}

// The server's DO or DONT: whether we send binary and the line settings.
void TelnetCodec::local(uint8_t option, bool on, Output &out) {
    State &state = local_[option];
    if (option != kBinary && option != kComPort) {
        if (on && !std::exchange(refusedDo_[option], true))
            out.reply += verb(kWont, option);
        return;
    }
    const State was = std::exchange(state, on ? Yes : No);
    if (was == state)
        return;
    if (was == No)
        out.reply += verb(kWill, option);
    else if (was == Yes)
        out.reply += verb(kWont, option);
    if (option == kComPort) {
        out.events << (on ? Event::ComPort : Event::ComPortRefused);
    } else if (on) {
        out.events << Event::BinaryOut;
    } else {
        binaryRefused_ = true;
        out.events << Event::BinaryRefused;
    }
}

QByteArray TelnetCodec::escape(const QByteArray &data) {
    if (!data.contains(char(kIac)))
        return data;
    QByteArray out;
    out.reserve(data.size() + data.count(char(kIac)));
    for (const char c : data) {
        out.append(c);
        if (uint8_t(c) == kIac)
            out.append(c);
    }
    return out;
}

QByteArray TelnetCodec::subnegotiation(uint8_t code, const QByteArray &value) const {
    if (!comPortOn())
        return {};
    return bytes({kIac, kSb, kComPort, code}) + escape(value) + bytes({kIac, kSe});
}

QByteArray TelnetCodec::lineSettings(const LineSettings &line) const {
    static constexpr struct {
        char code;
        uint8_t value;
    } parities[] = {{'n', 1}, {'o', 2}, {'e', 3}, {'m', 4}, {'s', 5}};
    uint8_t parity = 1;
    for (const auto &p : parities)
        if (p.code == line.parity)
            parity = p.value;
    const uint8_t stop = line.stopBits == QLatin1String("2")     ? 2
                         : line.stopBits == QLatin1String("1.5") ? 3
                                                                 : 1;
    const auto baud = quint32(line.baud);
    const QByteArray speed =
        bytes({uint8_t(baud >> 24), uint8_t(baud >> 16), uint8_t(baud >> 8), uint8_t(baud)});
    return subnegotiation(kSetBaudRate, speed) +
           subnegotiation(kSetDataSize, QByteArray(1, char(line.dataBits))) +
           subnegotiation(kSetParity, QByteArray(1, char(parity))) +
           subnegotiation(kSetStopSize, QByteArray(1, char(stop))) + control(NoFlowControl);
}

QByteArray TelnetCodec::control(Control code) const {
    return subnegotiation(kSetControl, QByteArray(1, char(code)));
}

QByteArray TelnetCodec::purgeReceived() const {
    return subnegotiation(kPurgeData, QByteArray(1, char(1)));
}

} // namespace tqm
