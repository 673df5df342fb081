// Runs a program as an unprivileged user: root opens any device whatever its permissions, so a
// test of "Permission denied" must give up root first.
// Usage: tqm_cli_as_user USER PROGRAM [ARGUMENTS...]; as any other user it just runs PROGRAM.
#include <cstdio>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

int main(int argc, char *argv[]) {
    if (argc < 3)
        return 125;
    // Opened while still root: the build tree may lie under a folder the user cannot enter
    // (/root in CI's fresh machine), and the program itself is readable and executable by all.
    const int program = ::open(argv[2], O_RDONLY | O_CLOEXEC);
    if (program < 0) {
        perror("as_user");
        return 126;
    }
    if (::geteuid() == 0) {
        const passwd *pw = ::getpwnam(argv[1]);
        if (!pw) {
            fprintf(stderr, "as_user: no user %s\n", argv[1]);
            return 125;
        }
        // No supplementary groups, then the group, then the user: afterwards none can change.
        if (::setgroups(0, nullptr) != 0 || ::setgid(pw->pw_gid) != 0 ||
            ::setuid(pw->pw_uid) != 0) {
            perror("as_user");
            return 125;
        }
        if (::setuid(0) == 0 || ::geteuid() == 0) {
            fprintf(stderr, "as_user: still root\n");
            return 125;
        }
    }
    ::fexecve(program, argv + 2, environ);
    perror("as_user");
    return 126;
}
