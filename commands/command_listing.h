// Every command as a reader looks it up: its control, caption, description and the bytes of each
// hand-over, the clock stamp's digits by their field names. `tqm810 commands` and the README's
// table both print it.
#pragma once

#include "commands/command_table.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tqm {

// The clock stamp's twelve digits, two for each field, in the order they go out.
inline constexpr const char *kStampFields = "YY MM DD hh mm ss";

struct CommandListing {
    const CommandRow *row;
    QString caption;       // the control's, as the window shows it
    QString description;   // without surrounding blanks
    QStringList handOvers; // upper-case hex pairs in code page 949, one entry per hand-over
};

// In the command table's order. Throws Failure when a command has no control on the window.
QList<CommandListing> commandListing();

} // namespace tqm
