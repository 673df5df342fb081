// The sub-commands of tqm810, one table: what each is called, takes and does, and the function that
// runs it. --help, and so the manual page, is made from the same table and the option lists.
#pragma once

#include "cli/args.h"
#include "cli/exit_status.h"
#include "process/command_line.h"

#include <QString>
#include <span>

namespace tqm::cli {

struct SubCommand {
    const char *name;
    const char *synopsis;            // after the name
    const char *summary;             // "\n" continues it on the next line of --help
    bool portOptions;                // takes the PORT options
    bool answerOptions;              // takes the ANSWER options
    std::span<const OptionSpec> own; // its own options, shown in its synopsis
    ExitStatus (*run)(const Args &args);
};

std::span<const SubCommand> subCommands();

// The words after the sub-command's name, read with the options it takes. Throws Usage.
Args parseFor(const SubCommand &command, const QStringList &words);

QString helpText();

// Each sub-command, in the file of its family.
ExitStatus commandsCommand(const Args &args); // listing_command.cpp
ExitStatus portsCommand(const Args &args);    // port_commands.cpp
ExitStatus mapCommand(const Args &args);
ExitStatus devicesCommand(const Args &args);
ExitStatus sendCommand(const Args &args); // exchange_commands.cpp
ExitStatus lcdCommand(const Args &args);
ExitStatus clockCommand(const Args &args);
ExitStatus monitorCommand(const Args &args); // monitor_command.cpp
ExitStatus runCommand(const Args &args);     // run_command.cpp

} // namespace tqm::cli
