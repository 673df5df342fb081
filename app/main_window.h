// The console's one window `main`: its controls, built from the control table, and its routines.
#pragma once

#include "commands/clock.h"
#include "commands/command_table.h"
#include "commands/control_table.h"
#include "link/link.h"
#include "serial/serial_control.h"

#include <QWidget>
#include <array>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QListWidget;
class QRadioButton;

namespace tqm {

class FailureQueue;
class LossReport;
class ReceiveBox;
class ReplySpeech;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // The serial control and the clock come from outside: the real ones in the program,
    // the fake ones in tests.
    MainWindow(SerialControl &mscom1, const Clock &clock, QWidget *parent = nullptr);

    // Runs the load routine as the window's Load event: after the controls exist, before show().
    void load();

    // The link over `mscom1`: a transcript attached there is reported here when it fails.
    Link &link() { return link_; }

    // The window's routines, under the names the operator's documentation uses. They throw
    // Failure at a failing step; the event bindings catch it and report it.
    void Form_Load();
    void Form_Unload();
    void port_search();
    bool port_check(SerialControl &port, int n);
    void comm_open();
    void savedata();
    void mscom1_OnComm();
    void recv_display(const QByteArray &batch);
    void chkdtr_Click();
    void chkrts_Click();
    void Optcom_Click(int n); // Optcom1_Click .. Optcom8_Click
    void command_Click(const CommandRow &command);

    template <typename T> T *control(const char *name) const {
        return findChild<T *>(QLatin1String(name));
    }

signals:
    // The name of each event routine as it starts, nested ones included.
    void routineRan(const QString &routine);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void bindEvents();
    void bindOption(QRadioButton *option, const QString &routine, const std::function<void()> &run);
    // A failure of what the operator just did is answered at once; one inside the serial layer's
    // receive event waits until that event is over, so no report's event loop runs inside it.
    enum class Answer { Now, AfterTheEvent };
    // One event: runs the routine; a failure ends it at the failing step and is reported.
    void runEvent(const QString &routine, const std::function<void()> &run,
                  Answer answer = Answer::Now);
    void report_failure(const QString &cause);

    SerialControl &mscom1;
    const Clock &clock_;
    Link link_;
    FailureQueue *afterTheEvent_ = nullptr;
    LossReport *lossReport_ = nullptr;
    ReplySpeech *speech_ = nullptr;

    QLabel *Label = nullptr;
    ReceiveBox *txtrecv = nullptr;
    QListWidget *list_port = nullptr;
    QCheckBox *chkdtr = nullptr;
    QCheckBox *chkrts = nullptr;
    std::array<QRadioButton *, kComPorts> Optcom{};
};

} // namespace tqm
