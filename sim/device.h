// The simulated TQM-810's state, and what each frame does to it and answers.
#pragma once

#include "sim/frame_splitter.h"
#include "sim/reply_table.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tqm::sim {

// On/off cycles still to run on the external outputs.
struct LedPattern {
    int red = 0;
    int green = 0;
    int buzzer = 0;

    friend bool operator==(const LedPattern &, const LedPattern &) = default;
};

struct Reaction {
    QString line;     // one line for the technician's terminal
    QByteArray reply; // what goes back on the line; may be empty
};

class Device {
public:
    static constexpr int kLastRecord = 9999;

    explicit Device(ReplyTable replies = ReplyTable::defaults());

    Reaction handle(const Frame &frame);
    void setReplies(ReplyTable replies) { m_replies = std::move(replies); }

    const QStringList &lcdLines() const { return m_lcd; }
    bool backLight() const { return m_backLight; }
    bool auxPort() const { return m_aux; }
    int relaySeconds() const { return m_relaySeconds; } // last duration asked for; 0 is off
    LedPattern ledPattern() const { return m_leds; }
    QDateTime clock() const { return m_clock; }   // invalid until a clock frame sets it
    int readPoint() const { return m_readPoint; } // the memory record that the next transfer sends
    const QByteArray &receivedData() const { return m_data; }

private:
    QString apply(const Frame &frame);

    ReplyTable m_replies;
    QStringList m_lcd;
    bool m_backLight = false;
    bool m_aux = false;
    int m_relaySeconds = 0;
    LedPattern m_leds;
    QDateTime m_clock;
    int m_readPoint = 1;
    QByteArray m_data;
};

} // namespace tqm::sim
