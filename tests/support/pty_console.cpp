// The real console on pseudo-terminals.
#include "tests/support/pty_console.h"

#include "app/receive_box.h"
#include "tests/support/click.h"

#include <QTest>

namespace tqm::test {

bool PtyConsole::start() {
    port = std::make_unique<QtSerialControl>(PortMap(ports.path()));
    window = std::make_unique<MainWindow>(*port, clock);
    if (!transcriptPath.isEmpty())
        window->link().attachTranscript(transcriptPath, {}, QStringLiteral("tqm810-console"),
                                        QStringLiteral("test"));
    window->load();
    window->show();
    return QTest::qWaitForWindowExposed(window.get());
}

ReceiveBox *PtyConsole::receiveBox() const {
    return window->control<ReceiveBox>("txtrecv");
}

QString PtyConsole::box() const {
    return receiveBox()->text();
}

bool PtyConsole::click(const QString &control) const {
    return clickControl(*window, control);
}

} // namespace tqm::test
