// Plays the program's guard step for the multi-process guard tests:
// guardhelper KEY [BARRIER_FILE]. Prints RUNNING and holds the guard until
// stdin closes, or prints REFUSED and exits with -1 as the program does.
// With GUARD_HELPER_AS_UID set (root only) it first becomes that user.
#include "app/runguard.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (const char *uid = std::getenv("GUARD_HELPER_AS_UID")) {
        const uid_t id = uid_t(std::strtoul(uid, nullptr, 10));
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(id)) != 0 || ::setuid(id) != 0) {
            std::perror("guardhelper: cannot become the other user");
            return 3;
        }
    }
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString key = QString::fromLocal8Bit(argv[1]);
    if (argc > 2) {
        // Start all contenders at the same moment.
        const QString barrier = QString::fromLocal8Bit(argv[2]);
        while (!QFile::exists(barrier))
            QThread::usleep(200);
    }

    RunGuard guard(key);
    if (!guard.tryToRun()) {
        std::printf("REFUSED\n");
        std::fflush(stdout);
        return -1;
    }
    std::printf("RUNNING\n");
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
    }
    return 0;
}
