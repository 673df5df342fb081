// commands: every device command with its alias and bytes, one tab-separated line each.
#include "cli/aliases.h"
#include "cli/output.h"
#include "cli/sub_commands.h"
#include "commands/command_listing.h"

namespace tqm::cli {

ExitStatus commandsCommand(const Args &args) {
    if (!args.operands.isEmpty())
        throw Usage{QStringLiteral("commands takes no arguments")};
    QString out;
    for (const CommandListing &c : commandListing())
        out += QStringList{QLatin1String(c.row->control), aliasOf(*c.row), c.caption, c.description,
                           c.handOvers.join(QLatin1String(" | "))}
                   .join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    toStdout(out);
    return Done;
}

} // namespace tqm::cli
