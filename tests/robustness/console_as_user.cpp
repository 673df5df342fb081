// Starts the console's window on a ports directory as an unprivileged user and prints what the
// operator would see: the ports found, whether the link opened, and each message box.
// Usage: tqm_console_as_user PORTS_DIR [USER [GROUP...]]; USER and GROUP take effect only for root,
// which must give up its rights first because root opens any device whatever its permissions.
#include "app/main_window.h"
#include "serial/qt_serial_control.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/message_catcher.h"

#include <QApplication>
#include <QListWidget>

#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

// Returns false with a reason on stderr when the rights could not be given up completely.
bool becomeUser(const char *user, const std::vector<const char *> &groups) {
    const passwd *pw = ::getpwnam(user);
    if (!pw) {
        fprintf(stderr, "console_as_user: no user %s\n", user);
        return false;
    }
    const uid_t uid = pw->pw_uid;
    const gid_t gid = pw->pw_gid;
    std::vector<gid_t> gids;
    for (const char *name : groups) {
        const group *gr = ::getgrnam(name);
        if (!gr) {
            fprintf(stderr, "console_as_user: no group %s\n", name);
            return false;
        }
        gids.push_back(gr->gr_gid);
    }
    // Supplementary groups first, then the group, then the user: afterwards none can be changed.
    if (::setgroups(gids.size(), gids.data()) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
        perror("console_as_user");
        return false;
    }
    if (::setuid(0) == 0 || ::geteuid() == 0) {
        fprintf(stderr, "console_as_user: still root\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc < 2)
        return 2;
    if (argc >= 3 && ::geteuid() == 0 &&
        !becomeUser(argv[2], std::vector<const char *>(argv + 3, argv + argc)))
        return 3;

    QApplication app(argc, argv);
    tqm::QtSerialControl port{tqm::PortMap(QString::fromLocal8Bit(argv[1]))};
    const tqm::test::FixedClock clock = tqm::test::sampleClock();
    tqm::MainWindow window(port, clock);
    tqm::test::MessageCatcher catcher;
    window.load();

    QStringList found;
    const auto *list = window.control<QListWidget>("list_port");
    for (int i = 0; i < list->count(); ++i)
        found << list->item(i)->text();
    printf("found: %s\n", qPrintable(found.join(QLatin1Char(' '))));
    printf("open: %s\n", port.portOpen() ? "yes" : "no");
    for (const tqm::test::CaughtMessage &message : catcher.messages)
        printf("message: %s\n", message.text.toUtf8().replace('\n', "\\n").constData());
    return 0;
}
