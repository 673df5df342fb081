// The device command set: for each control, the description shown in the label and the frames
// it hands to the serial control, in order.
#pragma once

#include "commands/clock.h"

#include <QStringList>
#include <array>
#include <span>

namespace tqm {

struct CommandRow {
    const char *control;     // objectName of the button (or option button) that sends it
    const char *description; // UTF-8, exactly as the label shows it
    // Frame texts in UTF-8, one hand-over each, in order; nullptr ends the list.
    // A row without fixed frames sends the clock frame, stamped at the moment of the click.
    std::array<const char *, 2> frames;
};

std::span<const CommandRow> commandTable();
const CommandRow *findCommand(QStringView control);

// The frames of one command as texts (ESC and CR as the characters 27 and 13).
QStringList commandFrames(const CommandRow &row, const Clock &clock);

// The clock frame's twelve ASCII digits and CR, every field from one reading of the clock: year,
// month, day and hour from the reading, minute and second from the last five characters of its
// long time text (from the reading itself where that text does not end in "mm?ss" in ASCII).
QString clockStamp(const Clock &clock);

} // namespace tqm
