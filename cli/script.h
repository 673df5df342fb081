// A test script for `tqm810 run`: one step per line, all of it checked before anything is sent.
#pragma once

#include "cli/expectation.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace tqm::cli {

struct Step {
    enum Kind { Send, Lcd, Clock, Expect, Match, Wait };
    Kind kind = Send;
    int lineNumber = 0;
    QString text;                // the line as written, without surrounding blanks
    QStringList operands;        // Send: command names; Lcd: the lines
    std::optional<QDateTime> at; // Clock --at
    Expectation check;           // Expect, Match
    int ms = 0;                  // Wait
};

// The words of one line: blanks separate them; inside "…" only \" and \\ are escapes, inside '…'
// every character stands for itself. Throws Usage (without a place) on an unterminated quote or
// another escape.
QStringList splitWords(const QString &line);

// The steps of a script (UTF-8 text); comments and blank lines are no steps. Throws Usage with
// "FILE:LINE: what is wrong" on the first bad line, and "FILE: no steps" when there are none.
QList<Step> parseScript(const QString &fileName, QByteArrayView text);

// "YYYY-MM-DD hh:mm:ss" as local time; throws Usage on anything else or an impossible date.
QDateTime parseLocalTime(const QString &text);

// The frames of a named command (control name or alias); throws Usage for an unknown name.
QStringList framesOf(const QString &name, const QDateTime &clockReading);

} // namespace tqm::cli
