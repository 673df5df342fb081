// The command table and the frames built from it.
#include "commands/command_table.h"

namespace tqm {

namespace {

// ESC "+" code [arguments] [CR]; the "+" is a real character on the line.
#define ESC "\x1b"
#define CR "\r"
#define LF "\n"

constexpr CommandRow kCommands[] = {
    {"cmd_system_reset", "제품 초기화 [ ESC + R ]", {ESC "+R", nullptr}},
    {"cmd_lcd_back_light_off", "LCD Back-Light Off [ ESC + g ]", {ESC "+g", nullptr}},
    {"cmd_lcd_back_light_on", "LCD Back-Light On [ ESC + G ]", {ESC "+G", nullptr}},
    {"cmd_version", "제품 버전 확인 [ ESC + # ]", {ESC "+#", nullptr}},
    {"cmd_data_send",
     "Data 보내기 [ ABCDEFGHIJKLMNOPQRSTUVWXYZ ]",
     {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", nullptr}},
    {"cmd_aux_port_off", "Aux Port Off [ ESC + y ]", {ESC "+y", nullptr}},
    {"cmd_aux_port_on", "Aux Port On [ ESC + Y ]", {ESC "+Y", nullptr}},
    {"cmd_ext_sensor",
     "Read Sensor Status Mode( Data Format Stx N Etx Cr )  [ ESC + N ]",
     {ESC "+N", nullptr}},
    {"cmd_ext_relay", "Relay 구동 3초 On [ ESC + P 3 Cr ]", {ESC "+P3" CR, nullptr}},
    {"cmdread", "Memory Data 전송 [ ESC + T ]", {ESC "+T", nullptr}},
    {"cmdreadinc", "Memory Data 전송 Point 증가 [ ESC + T  ESC + H ]", {ESC "+T", ESC "+H"}},
    // The heading of line 2 says 16 characters; the console sends all 20 digits as they are.
    {"cmd_Lcd_Display",
     "LCD Data Display [ ESC + W Data Lf Data Lf Data Lf Data Cr ]",
     {ESC "+W"
          "영문(16자)" LF "12345678901234567890" LF "한글(8자)" LF "동해물과 백두산" CR,
      nullptr}},
    {"cmdtimessetting",
     "시간 Setting (PC의 날짜 시간 정보를 전송 합니다.) [ ESC + X 년(2) 월(2) 일(2) 시(2) "
     "분(2) 초(2) Cr ] ",
     {nullptr, nullptr}},
    {"Option1", "외부 Red LED 3번On/Off [ ESC + L 3 0 0 Cr ]", {ESC "+E" CR, ESC "+L300" CR}},
    {"Option2", "외부 Green LED 3번On/Off [ ESC + L 0 3 0 Cr ]", {ESC "+E" CR, ESC "+L030" CR}},
    {"Option3", "외부 Green Buzzer 3번On/Off [ ESC + L 0 0 3 Cr ]", {ESC "+E" CR, ESC "+L003" CR}},
    {"cmdextledbuzzer", "외부 LED/Buzzer 제어 [ ESC + L 3 3 3 Cr ]", {ESC "+L333" CR, nullptr}},
};

#undef ESC
#undef CR
#undef LF

// Month, day and hour get a "0" in front below 10; the year is cut, never padded.
QString twoDigits(int value) {
    const QString text = QString::number(value);
    return value < 10 ? QLatin1Char('0') + text : text;
}

// "mm?ss" at the end of a long time text, in the digits the device reads.
bool endsInAsciiMinuteSecond(QStringView text) {
    if (text.size() < 5)
        return false;
    const QStringView tail = text.last(5);
    const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    return digit(tail[0]) && digit(tail[1]) && !digit(tail[2]) && digit(tail[3]) && digit(tail[4]);
}

} // namespace

std::span<const CommandRow> commandTable() {
    return kCommands;
}

const CommandRow *findCommand(QStringView control) {
    for (const CommandRow &row : kCommands)
        if (control == QLatin1String(row.control))
            return &row;
    return nullptr;
}

QString clockStamp(const Clock &clock) {
    // One reading for every field: read field by field, a click at 14:59:59.9995 could stamp
    // 14:00:00 and set the device an hour slow.
    const QDateTime at = clock.now();
    const QString year = QString::number(at.date().year());
    const QString longTime = clock.longTimeText(at.time());
    // Minute and second are cut from the long time text where it ends in them; a desktop that
    // writes other digits (Arabic-Indic) or something else last gets them from the same reading.
    const QString minuteSecond =
        endsInAsciiMinuteSecond(longTime)
            ? longTime.right(5)
            : twoDigits(at.time().minute()) + QLatin1Char(':') + twoDigits(at.time().second());
    return year.right(2) + twoDigits(at.date().month()) + twoDigits(at.date().day()) +
           twoDigits(at.time().hour()) + minuteSecond.left(2) + minuteSecond.right(2) +
           QLatin1Char('\r');
}

QStringList commandFrames(const CommandRow &row, const Clock &clock) {
    if (!row.frames[0])
        return {QStringLiteral("\x1b+X") + clockStamp(clock)};
    QStringList frames;
    for (const char *frame : row.frames)
        if (frame)
            frames << QString::fromUtf8(frame);
    return frames;
}

} // namespace tqm
