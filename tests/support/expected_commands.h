// Every command as the device must receive it, written out here once so that the window, the
// pty, the command line and the listing tests compare the console against a table it never saw:
// the control, its alias on the command line, its caption, its description, and the bytes of each
// hand-over in hex (" | " between hand-overs). The clock row is the frame for the sample clock's
// moment, 11 September 2007, 15:04:05.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tqm::test {

struct ExpectedCommand {
    const char *control;
    const char *alias;
    const char *caption;
    const char *description;
    const char *wire;

    // One entry per hand-over.
    QList<QByteArray> handOvers() const {
        QList<QByteArray> frames;
        for (const QByteArray &frame : QByteArray(wire).split('|'))
            frames << QByteArray::fromHex(frame);
        return frames;
    }
    QByteArray bytes() const { return handOvers().join(); }
};

// The clock stamp of the sample moment, as the listing names its fields instead.
inline constexpr const char *kSampleStampHex = "30 37 30 39 31 31 31 35 30 34 30 35";

// clang-format off
inline const ExpectedCommand kExpectedCommands[] = {
    {"cmd_system_reset", "reset", "초기화(Reset)", "제품 초기화 [ ESC + R ]", "1B 2B 52"},
    {"cmd_lcd_back_light_off", "backlight-off", "LCD Back Light Off", "LCD Back-Light Off [ ESC + g ]", "1B 2B 67"},
    {"cmd_lcd_back_light_on", "backlight-on", "LCD Back Light On", "LCD Back-Light On [ ESC + G ]", "1B 2B 47"},
    {"cmd_version", "version", "Version 확인", "제품 버전 확인 [ ESC + # ]", "1B 2B 23"},
    {"cmd_data_send", "data", "Data Send", "Data 보내기 [ ABCDEFGHIJKLMNOPQRSTUVWXYZ ]",
     "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 53 54 55 56 57 58 59 5A"},
    {"cmd_aux_port_off", "aux-off", "Aux Port Off", "Aux Port Off [ ESC + y ]", "1B 2B 79"},
    {"cmd_aux_port_on", "aux-on", "Aux Port On", "Aux Port On [ ESC + Y ]", "1B 2B 59"},
    {"cmd_ext_sensor", "sensor", "외부 Sensor",
     "Read Sensor Status Mode( Data Format Stx N Etx Cr )  [ ESC + N ]", "1B 2B 4E"},
    {"cmd_ext_relay", "relay", "외부 Relay", "Relay 구동 3초 On [ ESC + P 3 Cr ]", "1B 2B 50 33 0D"},
    {"cmdread", "read", "Data Read", "Memory Data 전송 [ ESC + T ]", "1B 2B 54"},
    {"cmdreadinc", "read-inc", "Data Read 후 pont 증가", "Memory Data 전송 Point 증가 [ ESC + T  ESC + H ]",
     "1B 2B 54 | 1B 2B 48"},
    {"cmd_Lcd_Display", "lcd-sample", "LCD Data Display",
     "LCD Data Display [ ESC + W Data Lf Data Lf Data Lf Data Cr ]",
     "1B 2B 57 BF B5 B9 AE 28 31 36 C0 DA 29 0A 31 32 33 34 35 36 37 38 39 30 31 32 33 34 35 36 37 "
     "38 39 30 0A C7 D1 B1 DB 28 38 C0 DA 29 0A B5 BF C7 D8 B9 B0 B0 FA 20 B9 E9 B5 CE BB EA 0D"},
    {"cmdtimessetting", "clock", "시간 Setting",
     "시간 Setting (PC의 날짜 시간 정보를 전송 합니다.) [ ESC + X 년(2) 월(2) 일(2) 시(2) 분(2) 초(2) Cr ] ",
     "1B 2B 58 30 37 30 39 31 31 31 35 30 34 30 35 0D"},
    {"Option1", "red", "Red", "외부 Red LED 3번On/Off [ ESC + L 3 0 0 Cr ]",
     "1B 2B 45 0D | 1B 2B 4C 33 30 30 0D"},
    {"Option2", "green", "Green", "외부 Green LED 3번On/Off [ ESC + L 0 3 0 Cr ]",
     "1B 2B 45 0D | 1B 2B 4C 30 33 30 0D"},
    {"Option3", "buzzer", "Buzzer", "외부 Green Buzzer 3번On/Off [ ESC + L 0 0 3 Cr ]",
     "1B 2B 45 0D | 1B 2B 4C 30 30 33 0D"},
    {"cmdextledbuzzer", "led-buzzer", "외부 LED/BUZZER", "외부 LED/Buzzer 제어 [ ESC + L 3 3 3 Cr ]",
     "1B 2B 4C 33 33 33 0D"},
};
// clang-format on

} // namespace tqm::test
