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
    void setReplies(ReplyTable replies) { replies_ = std::move(replies); }

    const QStringList &lcdLines() const { return lcd_; }
    bool backLight() const { return backLight_; }
    bool auxPort() const { return aux_; }
    int relaySeconds() const { return relaySeconds_; } // last duration asked for; 0 is off
    LedPattern ledPattern() const { return leds_; }
    QDateTime clock() const { return clock_; }   // invalid until a clock frame sets it
    int readPoint() const { return readPoint_; } // the memory record that the next transfer sends
    const QByteArray &receivedData() const { return data_; }

private:
    QString apply(const Frame &frame);

    ReplyTable replies_;
    QStringList lcd_;
    bool backLight_ = false;
    bool aux_ = false;
    int relaySeconds_ = 0;
    LedPattern leds_;
    QDateTime clock_;
    int readPoint_ = 1;
    QByteArray data_;
};

} // namespace tqm::sim
