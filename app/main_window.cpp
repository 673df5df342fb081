// The window: controls from the control table, event bindings, start-up, port selection,
// line controls, commands, the receive event and the log file.
#include "app/main_window.h"

#include "app/failure_queue.h"
#include "app/loss_report.h"
#include "app/pane_switch.h"
#include "app/receive_box.h"
#include "app/reply_speech.h"
#include "app/window_accessible.h"
#include "receive/byte_rendering.h"
#include "receive/log_file.h"
#include "serial/failure.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHash>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <memory>
#include <vector>

namespace tqm {

namespace {

QString caption(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QRect twipsRect(const ControlRow &row) {
    return {twipsToPixels(row.left), twipsToPixels(row.top), twipsToPixels(row.width),
            twipsToPixels(row.height)};
}

} // namespace

MainWindow::MainWindow(SerialControl &port, const Clock &clock, QWidget *parent)
    : QWidget(parent)
    , mscom1(port)
    , clock_(clock)
    , link_(port, clock)
    , afterTheEvent_(
          new FailureQueue([this](const QString &cause) { report_failure(cause); }, this))
    , lossReport_(new LossReport(link_, clock, *this)) {
    installWindowAccessibility();
    setObjectName(QStringLiteral("main"));
    setWindowTitle(caption(kWindowCaption));
    // The failure surfaces inside a signal of the serial control, which must not wait for the
    // operator: it is shown after the event, like a failure of the receive event.
    connect(&link_, &Link::transcriptFailed, this, [this](const QString &why) {
        afterTheEvent_->add(why + QStringLiteral("\nThe console goes on without a transcript."));
    });
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    buildControls();
    speech_ = new ReplySpeech(*txtrecv, *this);
    bindEvents();
}

void MainWindow::buildControls() {
    QHash<QString, QWidget *> made;
    std::vector<std::pair<int, QWidget *>> tabStops;
    for (const ControlRow &row : controlTable()) {
        QWidget *parent = row.container ? made.value(QLatin1String(row.container)) : this;
        Q_ASSERT(parent);
        QWidget *w = nullptr;
        switch (row.kind) {
        case Kind::Frame:
            w = new QGroupBox(caption(row.caption), parent);
            break;
        case Kind::ListBox:
            w = list_port = new QListWidget(parent);
            w->setAccessibleName(QStringLiteral("Ports found"));
            break;
        case Kind::CheckBox:
            w = new QCheckBox(caption(row.caption), parent);
            break;
        case Kind::OptionButton:
            w = new QRadioButton(caption(row.caption), parent);
            w->installEventFilter(this);
            break;
        case Kind::CommandButton:
            w = new QPushButton(caption(row.caption), parent);
            static_cast<QPushButton *>(w)->setAutoDefault(false);
            w->installEventFilter(this);
            break;
        case Kind::TextBox:
            w = txtrecv = new ReceiveBox(parent);
            w->setAccessibleName(QStringLiteral("Received data"));
            w->setAccessibleDescription(
                QStringLiteral("F6 moves between the controls and this box"));
            break;
        case Kind::Label: {
            auto *label = Label = new QLabel(parent);
            // The label's text is its accessible name, so a screen reader reads what it shows.
            label->setAccessibleDescription(QStringLiteral("Description"));
            label->setAutoFillBackground(true);
            QPalette pal = label->palette();
            pal.setColor(QPalette::Window, QColor(255, 192, 128));
            label->setPalette(pal);
            w = label;
            break;
        }
        }
        w->setObjectName(QLatin1String(row.name));
        w->setGeometry(twipsRect(row));
        made.insert(QLatin1String(row.name), w);
        if (w->focusPolicy() != Qt::NoFocus)
            tabStops.emplace_back(row.tabIndex, w);
    }
    chkdtr = control<QCheckBox>("chkdtr");
    chkrts = control<QCheckBox>("chkrts");
    for (const PortOption &option : portOptions())
        Optcom[option.port - 1] = control<QRadioButton>(option.control);

    std::sort(tabStops.begin(), tabStops.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (size_t i = 1; i < tabStops.size(); ++i)
        setTabOrder(tabStops[i - 1].second, tabStops[i].second);
    // The control with tab index 0 has the focus when the window first shows.
    tabStops.front().second->setFocus();
    new PaneSwitch(*this, *txtrecv, *tabStops.front().second);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    // Qt redraws a released command button and puts it on the screen before it reports the
    // click, which would double the time from the operator's click to the frame on the line.
    // The button is drawn released on the next turn of the event loop, after the frame is out.
    if (auto *button = qobject_cast<QPushButton *>(watched)) {
        if (event->type() == QEvent::MouseButtonRelease && button->isDown()) {
            button->setUpdatesEnabled(false);
            QTimer::singleShot(0, button, [button] { button->setUpdatesEnabled(true); });
        }
        // Enter clicks the focused command button, as in every Windows program the operators
        // know; Qt gives push buttons outside a dialog only Space. A held key clicks once: the
        // line gets a frame per press, never one per auto-repeat.
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                               (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
            if (enter) {
                if (!key->isAutoRepeat())
                    button->click();
                return true;
            }
        }
        return QWidget::eventFilter(watched, event);
    }
    // Tabbing into an option group lands on its selected option, as operators know it from
    // Windows; Qt would stop on whichever option of the group comes first in the chain.
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        auto *option = static_cast<QRadioButton *>(watched);
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) &&
            !option->isChecked())
            for (auto *sibling : option->parentWidget()->findChildren<QRadioButton *>())
                if (sibling->isChecked()) {
                    sibling->setFocus(reason);
                    break;
                }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::runEvent(const QString &routine, const std::function<void()> &run, Answer answer) {
    emit routineRan(routine);
    try {
        run();
    } catch (const Failure &failure) {
        if (answer == Answer::Now)
            report_failure(failure.message());
        else
            afterTheEvent_->add(failure.message());
    }
}

void MainWindow::report_failure(const QString &cause) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), cause, QMessageBox::Ok, this);
    box.exec();
}

// An option's Click runs when it becomes selected, by the operator or by a routine, and again
// when the operator clicks it while it is already selected; one change runs it once.
void MainWindow::bindOption(QRadioButton *option, const QString &routine,
                            const std::function<void()> &run) {
    auto toggledByThisPress = std::make_shared<bool>(false);
    connect(option, &QAbstractButton::pressed, this, [=] { *toggledByThisPress = false; });
    connect(option, &QAbstractButton::toggled, this, [=, this](bool on) {
        if (!on)
            return;
        *toggledByThisPress = true;
        runEvent(routine, run);
    });
    connect(option, &QAbstractButton::clicked, this, [=, this] {
        if (!*toggledByThisPress)
            runEvent(routine, run);
        *toggledByThisPress = false;
    });
}

void MainWindow::bindEvents() {
    connect(&mscom1, &SerialControl::OnComm, this, [this] {
        runEvent(
            QStringLiteral("mscom1_OnComm"), [this] { mscom1_OnComm(); }, Answer::AfterTheEvent);
    });
    connect(chkdtr, &QCheckBox::toggled, this,
            [this] { runEvent(QStringLiteral("chkdtr_Click"), [this] { chkdtr_Click(); }); });
    connect(chkrts, &QCheckBox::toggled, this,
            [this] { runEvent(QStringLiteral("chkrts_Click"), [this] { chkrts_Click(); }); });
    for (const PortOption &option : portOptions()) {
        const int n = option.port;
        bindOption(Optcom[n - 1], QLatin1String(option.control) + QStringLiteral("_Click"),
                   [this, n] { Optcom_Click(n); });
    }
    for (const CommandRow &command : commandTable()) {
        QAbstractButton *button = control<QAbstractButton>(command.control);
        Q_ASSERT(button);
        const QString routine = QLatin1String(command.control) + QStringLiteral("_Click");
        const auto run = [this, &command] { command_Click(command); };
        if (auto *option = qobject_cast<QRadioButton *>(button))
            bindOption(option, routine, run);
        else
            connect(button, &QAbstractButton::clicked, this, [=, this] { runEvent(routine, run); });
    }
    // No control owns the log file; the operator reaches it from the keyboard.
    auto *save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, [this] {
        runEvent(QStringLiteral("savedata"), [this] {
            savedata();
            QToolTip::showText(txtrecv->mapToGlobal(QPoint(0, txtrecv->height())),
                               QStringLiteral("Saved to %1").arg(logFilePath()), txtrecv);
        });
    });
}

void MainWindow::load() {
    runEvent(QStringLiteral("Form_Load"), [this] { Form_Load(); });
}

void MainWindow::Form_Load() {
    port_search();
    comm_open();
}

void MainWindow::port_search() {
    emit routineRan(QStringLiteral("port_search"));
    list_port->clear();
    const auto check = [this](SerialControl &port, int n) { return port_check(port, n); };
    for (const int n : link_.probeComPorts(check))
        list_port->addItem(comName(n));
}

// True when port n opened without an error; either way the port is left closed.
bool MainWindow::port_check(SerialControl &port, int n) {
    return portOpens(port, n);
}

void MainWindow::comm_open() {
    emit routineRan(QStringLiteral("comm_open"));
    if (mscom1.portOpen())
        return;
    const ConsoleLine &line = consoleLine();
    mscom1.setCommPort(line.port);
    // Selecting runs Optcom1_Click, which finds the port number already 1.
    Optcom[line.port - 1]->setChecked(true);
    mscom1.setSettings(line.settings);
    mscom1.setRThreshold(line.rThreshold);
    mscom1.setInputMode(line.inputMode);
    mscom1.setPortOpen(true);
    mscom1.setInputLen(line.inputLen);
    mscom1.setDTREnable(line.dtr);
    chkdtr->setChecked(line.dtr);
    mscom1.setRTSEnable(line.rts);
    chkrts->setChecked(line.rts);
    Label->setText(mscom1.settings());
}

void MainWindow::Optcom_Click(int n) {
    try {
        if (mscom1.commPort() == n)
            return;
        mscom1.setPortOpen(false);
        mscom1.setCommPort(n);
        Label->setText(caption(portOptions()[n - 1].caption));
        mscom1.setPortOpen(true);
    } catch (const Failure &) {
        if (mscom1.portOpen())
            mscom1.setPortOpen(false);
        QMessageBox box(QMessageBox::NoIcon, windowTitle(), caption(kNoSuchPortMessage),
                        QMessageBox::Ok, this);
        box.exec();
        // The fallback is not guarded: if COM1 fails too, this handler ends as a failure.
        comm_open();
    }
}

void MainWindow::chkdtr_Click() {
    mscom1.setDTREnable(chkdtr->isChecked());
}

void MainWindow::chkrts_Click() {
    mscom1.setRTSEnable(chkrts->isChecked());
}

void MainWindow::Form_Unload() {
    if (mscom1.portOpen())
        mscom1.setPortOpen(false);
}

void MainWindow::closeEvent(QCloseEvent *event) {
    runEvent(QStringLiteral("Form_Unload"), [this] { Form_Unload(); });
    lossReport_->closeAll();
    event->accept();
}

// Empty the box, say what goes out, hand over each frame whole, in order; wait for nothing.
void MainWindow::command_Click(const CommandRow &command) {
    txtrecv->setText(QString());
    speech_->commandGiven();
    Label->setText(caption(command.description));
    for (const QString &frame : commandFrames(command, clock_))
        mscom1.output(frame);
}

void MainWindow::mscom1_OnComm() {
    if (mscom1.commEvent() != SerialControl::comEvReceive)
        return;
    recv_display(mscom1.input());
}

void MainWindow::recv_display(const QByteArray &batch) {
    // The whole batch is rendered first, then the box takes it in one update.
    txtrecv->append(renderBatch(batch));
}

void MainWindow::savedata() {
    writeLogFile(logFilePath(), txtrecv->text());
}

} // namespace tqm
