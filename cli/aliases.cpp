// The alias table: one short, lower-case name per control, chosen for typing in a shell.
#include "cli/aliases.h"

#include <QLatin1String>

namespace tqm::cli {

namespace {

struct Alias {
    const char *control;
    const char *alias;
};

constexpr Alias kAliases[] = {
    {"cmd_system_reset", "reset"},
    {"cmd_lcd_back_light_off", "backlight-off"},
    {"cmd_lcd_back_light_on", "backlight-on"},
    {"cmd_version", "version"},
    {"cmd_data_send", "data"},
    {"cmd_aux_port_off", "aux-off"},
    {"cmd_aux_port_on", "aux-on"},
    {"cmd_ext_sensor", "sensor"},
    {"cmd_ext_relay", "relay"},
    {"cmdread", "read"},
    {"cmdreadinc", "read-inc"},
    {"cmd_Lcd_Display", "lcd-sample"},
    {"cmdtimessetting", "clock"},
    {"Option1", "red"},
    {"Option2", "green"},
    {"Option3", "buzzer"},
    {"cmdextledbuzzer", "led-buzzer"},
};

} // namespace

QString aliasOf(const CommandRow &row) {
    for (const Alias &a : kAliases)
        if (qstrcmp(a.control, row.control) == 0)
            return QLatin1String(a.alias);
    return {};
}

const CommandRow *findByNameOrAlias(QStringView name) {
    if (const CommandRow *row = findCommand(name))
        return row;
    for (const Alias &a : kAliases)
        if (name == QLatin1String(a.alias))
            return findCommand(QString::fromLatin1(a.control));
    return nullptr;
}

} // namespace tqm::cli
