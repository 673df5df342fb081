// The control table of the one window, in the window's own order, and the COM option captions.
#include "commands/control_table.h"

#include <cstring>
#include <iterator>

namespace tqm {

namespace {

using K = Kind;

// clang-format off
constexpr ControlRow kControls[] = {
    // name, kind, container, caption, left, top, width, height, tab index
    {"Frame3", K::Frame, nullptr, "검색 통신포트", 4680, 4440, 1815, 1935, 32},
    {"list_port", K::ListBox, "Frame3", "", 240, 360, 1335, 1320, 33},
    {"Frame2", K::Frame, nullptr, "", 3360, 4440, 1215, 1935, 29},
    {"chkdtr", K::CheckBox, "Frame2", "DTR", 240, 360, 855, 255, 31},
    {"chkrts", K::CheckBox, "Frame2", "RTS", 240, 720, 855, 255, 30},
    {"comport", K::Frame, nullptr, "통신포트", 240, 4440, 3015, 1935, 20},
    {"Optcom1", K::OptionButton, "comport", "COM1", 240, 360, 975, 255, 28},
    {"Optcom2", K::OptionButton, "comport", "COM2", 240, 720, 975, 255, 27},
    {"Optcom3", K::OptionButton, "comport", "COM3", 240, 1080, 975, 255, 26},
    {"Optcom4", K::OptionButton, "comport", "COM4", 240, 1440, 975, 255, 25},
    {"Optcom5", K::OptionButton, "comport", "COM5", 1680, 360, 975, 255, 24},
    {"Optcom6", K::OptionButton, "comport", "COM6", 1680, 720, 975, 255, 23},
    {"Optcom7", K::OptionButton, "comport", "COM7", 1680, 1080, 975, 255, 22},
    {"Optcom8", K::OptionButton, "comport", "COM8", 1680, 1440, 975, 255, 21},
    {"cmd_system_reset", K::CommandButton, nullptr, "초기화(Reset)", 1680, 1680, 1815, 375, 19},
    {"cmd_lcd_back_light_off", K::CommandButton, nullptr, "LCD Back Light Off", 7440, 2640, 1815, 375, 18},
    {"cmd_lcd_back_light_on", K::CommandButton, nullptr, "LCD Back Light On", 7440, 2160, 1815, 375, 17},
    {"cmd_version", K::CommandButton, nullptr, "Version 확인", 1680, 2160, 1815, 375, 16},
    {"cmd_data_send", K::CommandButton, nullptr, "Data Send", 3600, 2640, 1815, 375, 15},
    {"cmd_aux_port_off", K::CommandButton, nullptr, "Aux Port Off", 3600, 2160, 1815, 375, 14},
    {"cmd_aux_port_on", K::CommandButton, nullptr, "Aux Port On", 3600, 1680, 1815, 375, 13},
    {"cmd_ext_sensor", K::CommandButton, nullptr, "외부 Sensor", 5520, 2160, 1815, 375, 12},
    {"cmd_ext_relay", K::CommandButton, nullptr, "외부 Relay", 5520, 1680, 1815, 375, 11},
    {"cmd_Lcd_Display", K::CommandButton, nullptr, "LCD Data Display", 7440, 1680, 1815, 375, 10},
    {"Frame1", K::Frame, nullptr, "외부 LED/Buzzer", 9360, 2160, 1815, 1575, 6},
    {"Option3", K::OptionButton, "Frame1", "Buzzer", 360, 1080, 1095, 255, 9},
    {"Option2", K::OptionButton, "Frame1", "Green", 360, 360, 1095, 255, 8},
    {"Option1", K::OptionButton, "Frame1", "Red", 360, 720, 1095, 255, 7},
    {"cmdextledbuzzer", K::CommandButton, nullptr, "외부 LED/BUZZER", 9360, 3840, 1815, 375, 5},
    {"cmdreadinc", K::CommandButton, nullptr, "Data Read 후 pont 증가", 7440, 4920, 3735, 375, 4},
    {"cmdtimessetting", K::CommandButton, nullptr, "시간 Setting", 9360, 1680, 1815, 375, 3},
    {"txtrecv", K::TextBox, nullptr, "", 120, 600, 11055, 975, 1},
    {"cmdread", K::CommandButton, nullptr, "Data Read", 7440, 4440, 3735, 375, 0},
    {"Label", K::Label, nullptr, "", 120, 120, 11055, 375, 2},
};

constexpr PortOption kPortOptions[] = {
    {"Optcom1", 1, "COM1 PORT ON"}, {"Optcom2", 2, "COM2 PORT ON"},
    {"Optcom3", 3, "COM3 PORT ON"}, {"Optcom4", 4, "COM4 PORT ON"},
    {"Optcom5", 5, "COM5 PORT ON"}, {"Optcom6", 6, "COM6 PORT ON"},
    {"Optcom7", 7, "COM7 PORT ON"}, {"Optcom8", 8, "COM8 PORT ON"},
};
// clang-format on
static_assert(std::size(kPortOptions) == kComPorts);

} // namespace

std::span<const ControlRow> controlTable() {
    return kControls;
}
std::span<const PortOption> portOptions() {
    return kPortOptions;
}

const ControlRow *findControl(const char *name) {
    for (const ControlRow &row : kControls)
        if (std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

} // namespace tqm
