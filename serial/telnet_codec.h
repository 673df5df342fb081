// Telnet with the serial line options of a device server: the byte stream from the server in,
// device data and our answers out; device data and line settings in, the stream to the server out.
// No socket here, so that any byte sequence can be fed to it in a test or a fuzzer.
#pragma once

#include "serial/serial_control.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <cstdint>

namespace tqm {

class TelnetCodec {
public:
    // What the negotiation settled, in the order it happened.
    enum class Event {
        BinaryOut,      // we send binary
        BinaryIn,       // the server sends binary
        BinaryRefused,  // either way: the frames' CR would not cross unchanged
        ComPort,        // the server takes the line settings
        ComPortRefused, // the line settings are the server's
    };

    struct Output {
        QByteArray data;  // from the device, unescaped
        QByteArray reply; // to the server, now
        QList<Event> events;
    };

    static constexpr uint8_t kIac = 0xFF;
    static constexpr uint8_t kBinary = 0;
    static constexpr uint8_t kComPort = 44;

    // What we ask for on connecting: binary both ways and the serial line option.
    QByteArray start();

    // Bytes from the server, in pieces of any size: a sequence cut anywhere carries on.
    Output feed(const QByteArray &bytes);

    // Binary both ways, and the server has said yes or no to the line option.
    bool settled() const;
    bool binaryRefused() const { return binaryRefused_; }
    bool comPortOn() const { return local_[kComPort] == Yes; }

    // Device data to the server, 0xFF doubled.
    static QByteArray escape(const QByteArray &data);

    // The line settings, or a control code (SET-CONTROL): empty while the server has not taken
    // the line option. Never waits for an answer: a server in front of a pty never acknowledges
    // DTR or RTS.
    QByteArray lineSettings(const LineSettings &line) const;
    enum Control : uint8_t {
        NoFlowControl = 1,
        DtrOn = 8,
        DtrOff = 9,
        RtsOn = 11,
        RtsOff = 12,
    };
    QByteArray control(Control code) const;
    // Asks the server to drop what it has received from the device and not yet sent.
    QByteArray purgeReceived() const;

private:
    enum State : uint8_t { No, Yes, WantYes };
    enum Parse : uint8_t { Data, Iac, Option, Sub, SubIac };

    // Nothing the server says in a sub-negotiation is needed, so none is kept: one with no end
    // costs no memory, it only swallows what follows.
    QByteArray subnegotiation(uint8_t code, const QByteArray &value) const;
    void command(uint8_t what, uint8_t option, Output &out);
    void local(uint8_t option, bool on, Output &out);
    void remote(uint8_t option, bool on, Output &out);

    std::array<State, 256> local_{};  // options we perform: the server's DO and DONT
    std::array<State, 256> remote_{}; // options the server performs: its WILL and WONT
    // Offers turned down once already: a DO or a WILL we do not serve is refused once, so that a
    // server that keeps offering cannot keep us answering.
    std::array<bool, 256> refusedDo_{};
    std::array<bool, 256> refusedWill_{};
    Parse parse_ = Data;
    uint8_t verb_ = 0;
    bool binaryRefused_ = false;
};

} // namespace tqm
