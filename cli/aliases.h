// Short names for the command table's rows, so that a shell line need not spell control names.
#pragma once

#include "commands/command_table.h"

#include <QString>

namespace tqm::cli {

// The alias of a command table row; empty when it has none.
QString aliasOf(const CommandRow &row);

// The row a control name or an alias names, or nullptr.
const CommandRow *findByNameOrAlias(QStringView name);

} // namespace tqm::cli
