// Renders the window after start-up (COM1 to COM3 answering) to a PNG, for the documentation
// and for the test that the captions draw with a Hangul font; or, with --receive-box, the receive
// box alone after a version reply holding a Korean word, every byte of it in its own cells.
#include "app/receive_box.h"
#include "tests/support/fake_window.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPushButton>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: %s OUT.png [--receive-box]\n", argv[0]);
        return 2;
    }
    if (QFontDatabase::families(QFontDatabase::Korean).isEmpty()) {
        fprintf(stderr, "no font with Hangul: install fonts-nanum\n");
        return 1;
    }
    tqm::test::FakeWindow w({4, 5, 6, 7, 8});
    w->load();
    const bool boxOnly = argc > 2 && QByteArray(argv[2]) == "--receive-box";
    if (boxOnly) {
        w->control<QPushButton>("cmd_version")->click();
        // A version reply with a Korean word in code page 949: four high bytes, then ETX.
        w.port.deliver(QByteArray::fromHex("02") + "TQM-810 V2.10 " +
                       QByteArray::fromHex("bfb5b9ae030d"));
    }
    w->show();
    QApplication::processEvents();
    QWidget *shown = boxOnly ? static_cast<QWidget *>(w->control<tqm::ReceiveBox>("txtrecv"))
                             : static_cast<QWidget *>(w.window.get());
    return shown->grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
