// The single-instance guard within one process and across processes, and
// the program's own refusal of a second instance.
#include "app/runguard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

class TestRunGuard : public QObject
{
    Q_OBJECT

private:
    QString m_key;

    // A key no other test run or program on the machine uses.
    QString freshKey(const char *tag)
    {
        return QString("QuilloGuardTest_%1_%2_%3")
            .arg(QCoreApplication::applicationPid())
            .arg(QString::fromLatin1(tag))
            .arg(QDateTime::currentMSecsSinceEpoch());
    }

    std::unique_ptr<QProcess> startHelper(const QString &key, const QString &barrier = QString(),
                                          const QString &tmpDir = QString(),
                                          QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
                                          const QString &program = GUARD_HELPER)
    {
        auto p = std::make_unique<QProcess>();
        QStringList args{key};
        if (!barrier.isEmpty())
            args << barrier;
        if (!tmpDir.isEmpty()) {
            env.insert("TMPDIR", tmpDir);
            env.insert("XDG_RUNTIME_DIR", tmpDir); // the guard's files go there too
        }
        p->setProcessEnvironment(env);
        p->start(program, args);
        return p;
    }

    // The System V keys a helper's key files in DIR stand for, read before
    // the folder goes, so that what a killed helper leaves can be removed.
    static std::vector<key_t> systemVKeysIn(const QString &dir)
    {
        std::vector<key_t> keys;
        for (const QFileInfo &file : QDir(dir).entryInfoList(QDir::Files))
            keys.push_back(ftok(QFile::encodeName(file.filePath()).constData(), 'Q'));
        return keys;
    }

    // Segments nobody holds and semaphores of those keys: no litter on the
    // machine from run to run.
    static void removeLeftovers(const std::vector<key_t> &keys)
    {
        for (const key_t key : keys) {
            const int segment = shmget(key, 0, 0);
            shmid_ds state;
            if (segment != -1 && shmctl(segment, IPC_STAT, &state) == 0 && state.shm_nattch == 0)
                shmctl(segment, IPC_RMID, nullptr);
            const int semaphore = semget(key, 0, 0);
            if (semaphore != -1)
                semctl(semaphore, 0, IPC_RMID);
        }
    }

    // Waits for the helper's verdict: "RUNNING" or "REFUSED".
    static QString verdict(QProcess &p, int timeoutMs = 10000)
    {
        QElapsedTimer t;
        t.start();
        QByteArray out;
        while (t.elapsed() < timeoutMs) {
            p.waitForReadyRead(100);
            out += p.readAllStandardOutput();
            if (out.contains("RUNNING"))
                return "RUNNING";
            if (out.contains("REFUSED"))
                return "REFUSED";
            if (p.state() == QProcess::NotRunning && !p.bytesAvailable())
                break;
        }
        return QString::fromLatin1(out);
    }

    static constexpr int kHung = -1000;

    // Lets the helper go (its input closes) and returns its exit code, or
    // kHung when it does not end.
    static int finish(QProcess &p)
    {
        if (p.state() == QProcess::NotRunning)
            return p.exitCode();
        p.closeWriteChannel();
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
            return kHung;
        }
        return p.exitCode();
    }

private slots:
    void keyHashesAreSha1HexOfKeyAndSalt_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("salt");
        QTest::addColumn<QString>("digest");
        // Digests computed with sha1sum over the concatenated UTF-8 bytes.
        QTest::newRow("segment") << "QGroundControlRunGuardKey" << "_sharedmemKey"
                                 << "97ad20cce6bda2879ce7719759e2e50eba70e585";
        QTest::newRow("semaphore") << "QGroundControlRunGuardKey" << "_memLockKey"
                                   << "73b42c26555bc62888f39de186f5b9cbeb621f07";
        QTest::newRow("utf8") << "键" << "_盐" << "b87ae5f5c5d755970381ded86d13a672132850ce";
    }

    void keyHashesAreSha1HexOfKeyAndSalt()
    {
        QFETCH(QString, key);
        QFETCH(QString, salt);
        QFETCH(QString, digest);
        QCOMPARE(generateKeyHash(key, salt), digest);
    }

    void guardsInOneProcess()
    {
        const QString key = freshKey("local");
        RunGuard first(key);
        QVERIFY(!first.isAnotherRunning());
        QVERIFY(first.tryToRun());
        QVERIFY(!first.isAnotherRunning()); // it holds the segment itself
        {
            RunGuard second(key); // its attach-and-drop must not free a held segment
            QVERIFY(second.isAnotherRunning());
            QVERIFY(!second.tryToRun());
        }
        first.release();
        RunGuard third(key);
        QVERIFY(!third.isAnotherRunning());
        QVERIFY(third.tryToRun());
    }

    void secondInstanceIsRefusedAndFirstKeepsRunning()
    {
        const QString key = freshKey("second");
        auto first = startHelper(key);
        QCOMPARE(verdict(*first), QString("RUNNING"));

        auto second = startHelper(key);
        QCOMPARE(verdict(*second), QString("REFUSED"));
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 255);

        QCOMPARE(first->state(), QProcess::Running);
        QCOMPARE(finish(*first), 0);

        // Closed normally: the next start runs.
        auto third = startHelper(key);
        QCOMPARE(verdict(*third), QString("RUNNING"));
        QCOMPARE(finish(*third), 0);
    }

    void killedInstanceDoesNotBlockTheNext()
    {
        const QString key = freshKey("killed");
        auto doomed = startHelper(key);
        QCOMPARE(verdict(*doomed), QString("RUNNING"));
        doomed->kill(); // SIGKILL: no destructor, the segment stays behind
        QVERIFY(doomed->waitForFinished(10000));
        QCOMPARE(doomed->exitStatus(), QProcess::CrashExit);

        auto next = startHelper(key);
        QCOMPARE(verdict(*next), QString("RUNNING"));
        auto third = startHelper(key);
        QCOMPARE(verdict(*third), QString("REFUSED"));
        QVERIFY(third->waitForFinished(10000));
        QCOMPARE(finish(*next), 0);
    }

    // A killed instance's segment outlives its key file when the temporary
    // folder goes; a new key file that reuses the inode maps to the same
    // System V key. Rounds, because the inode is reused only often, not always.
    void deadSegmentWithoutKeyFileBlocksNoOtherKey()
    {
        for (int round = 0; round < 12; ++round) {
            // Several dead instances, so that a key file made anew can meet
            // another one's segment as well.
            std::vector<key_t> left;
            for (int dead = 0; dead < 3; ++dead) {
                QTemporaryDir gone;
                QVERIFY(gone.isValid());
                auto doomed = startHelper(freshKey("gone") + QString::number(round * 3 + dead), QString(),
                                          gone.path());
                QCOMPARE(verdict(*doomed), QString("RUNNING"));
                doomed->kill();
                QVERIFY(doomed->waitForFinished(10000));
                const std::vector<key_t> keys = systemVKeysIn(gone.path());
                left.insert(left.end(), keys.begin(), keys.end());
            }

            QTemporaryDir fresh;
            QVERIFY(fresh.isValid());
            auto next = startHelper(freshKey("new") + QString::number(round), QString(), fresh.path());
            const QString seen = verdict(*next);
            const int exitCode = finish(*next);
            removeLeftovers(left);
            QCOMPARE(seen, QString("RUNNING"));
            QCOMPARE(exitCode, 0);
        }
    }

    void ofSeveralStartedTogetherExactlyOneRuns()
    {
        const QString key = freshKey("race");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString barrier = dir.filePath("go");
        std::vector<std::unique_ptr<QProcess>> helpers;
        for (int i = 0; i < 6; ++i) {
            helpers.push_back(startHelper(key, barrier));
            QVERIFY(helpers.back()->waitForStarted(10000));
        }
        QTest::qWait(300); // let every helper reach its barrier
        QFile go(barrier);
        QVERIFY(go.open(QIODevice::WriteOnly));
        go.close();

        int running = 0;
        int refused = 0;
        for (auto &p : helpers) {
            const QString v = verdict(*p);
            if (v == "RUNNING") {
                ++running;
            } else if (v == "REFUSED") {
                ++refused;
                QVERIFY(p->waitForFinished(10000));
                QCOMPARE(p->exitCode(), 255);
            }
        }
        // Every one ends once let go: none waits for ever on a lock the
        // race left taken.
        int hung = 0;
        for (auto &p : helpers)
            hung += finish(*p) == kHung;
        QCOMPARE(running, 1);
        QCOMPARE(refused, 5);
        QCOMPARE(hung, 0);
    }

    // A guard that cannot do its work refuses at once, says why, and does not
    // wait for ever; a runtime folder it cannot trust is passed over.
    void guardFaultsRefuseWithoutHanging_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("trace");
        QTest::newRow("lock held by a stuck start") << "held lock" << "REFUSED" << "stayed taken";
        QTest::newRow("own folder is a symbolic link") << "link" << "REFUSED" << "is a symbolic link";
        QTest::newRow("runtime folder writable by others") << "open runtime" << "RUNNING" << "XDG_RUNTIME_DIR";
    }

    void guardFaultsRefuseWithoutHanging()
    {
        QFETCH(QString, fault);
        QFETCH(QString, expected);
        QFETCH(QString, trace);
        QTemporaryDir dir;
        const QString guardKey = freshKey("fault");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", dir.path());
        env.insert("XDG_RUNTIME_DIR", fault == "held lock" ? dir.path() : dir.filePath("runtime"));
        int heldLock = -1;
        if (fault == "held lock") {
            const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
            heldLock = open(QFile::encodeName(RunGuard(guardKey).lockPath()).constData(), O_RDWR);
            qputenv("XDG_RUNTIME_DIR", saved);
            QVERIFY(heldLock >= 0 && flock(heldLock, LOCK_EX | LOCK_NB) == 0);
        } else if (fault == "link") {
            QVERIFY(QFile::link(dir.path(), dir.filePath("quillo-" + QString::number(geteuid()))));
        } else {
            QVERIFY(QDir(dir.path()).mkdir("runtime") && chmod(qPrintable(dir.filePath("runtime")), 0777) == 0);
        }
        auto helper = startHelper(guardKey, QString(), QString(), env);
        const QString seen = verdict(*helper);
        QCOMPARE(finish(*helper), expected == "RUNNING" ? 0 : 255);
        const QString errors = QString::fromUtf8(helper->readAllStandardError());
        close(heldLock);
        QCOMPARE(seen, expected);
        QVERIFY2(errors.contains("run guard: ") && errors.contains(trace), qPrintable(errors));
    }

    // Each user has an instance of his own; one user's second start is refused.
    void eachUserRunsOneInstance_data()
    {
        QTest::addColumn<QList<uint>>("users");
        QTest::addColumn<QStringList>("verdicts");
        QTest::newRow("this user and nobody") << QList<uint>{geteuid(), 65534} << QStringList{"RUNNING", "RUNNING"};
        QTest::newRow("nobody twice") << QList<uint>{65534, 65534} << QStringList{"RUNNING", "REFUSED"};
    }

    void eachUserRunsOneInstance()
    {
        QFETCH(QList<uint>, users);
        QFETCH(QStringList, verdicts);
        if (geteuid() != 0)
            QSKIP("starting the guard as another user needs root");
        // A shared temporary folder as /tmp is, with a helper the other user may run.
        QTemporaryDir dir;
        const QString helper = dir.filePath("guardhelper");
        QVERIFY(chmod(QFile::encodeName(dir.path()).constData(), 01777) == 0 && QFile::copy(GUARD_HELPER, helper));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", dir.path());
        env.remove("XDG_RUNTIME_DIR");
        const QString guardKey = freshKey("users");
        std::vector<std::unique_ptr<QProcess>> helpers;
        QStringList seen;
        for (const uint uid : users) {
            env.insert("GUARD_HELPER_AS_UID", QString::number(uid));
            helpers.push_back(startHelper(guardKey, QString(), QString(), env, helper));
            seen << verdict(*helpers.back());
        }
        for (auto &p : helpers)
            QVERIFY(finish(*p) != kHung);
        QCOMPARE(seen, verdicts);
    }

    // The real program: while the key is held, it shows its box and, once
    // the box is answered, exits with -1 without building a window.
    void programRefusesSecondInstanceWithItsBox()
    {
        const QString program = QStringLiteral(QUILLO_PROGRAM);
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program + " is not there"));
        // CTest runs this suite under Xvfb; started by hand without a display,
        // the program could not show its box at all.
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("no X display to show the program's box on");
        const QString xdotool = QStandardPaths::findExecutable("xdotool");
        QVERIFY2(!xdotool.isEmpty(), "xdotool is missing (scripts/setup.sh installs it)");

        auto holder = startHelper("QGroundControlRunGuardKey");
        const QString v = verdict(*holder);
        if (v != "RUNNING") {
            finish(*holder);
            // A Quillo this user is running with the same runtime folder holds it,
            // and this check must not close or confuse that one.
            QSKIP("another Quillo of this user holds the key");
        }

        QProcess second;
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(program, QStringList());
        QVERIFY(second.waitForStarted(10000));

        // Answer the box: find its window by title, focus it, press Escape.
        // Again until the program ends: a window found before it is shown
        // takes neither the focus nor the key (slow under the sanitizers).
        bool answered = false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000 && second.state() == QProcess::Running) {
            QProcess search;
            search.start(xdotool, {"search", "--name", "^Quillo$"});
            search.waitForFinished(5000);
            const QStringList ids =
                QString::fromLatin1(search.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            for (const QString &id : ids) {
                QProcess::execute(xdotool, {"windowfocus", "--sync", id});
                QProcess::execute(xdotool, {"key", "--window", id, "Escape"});
                QProcess::execute(xdotool, {"key", "Escape"});
                answered = true;
            }
            if (!answered)
                QTest::qWait(200);
            else
                second.waitForFinished(500);
        }
        const bool exited = second.state() == QProcess::NotRunning || second.waitForFinished(15000);
        if (!exited) {
            second.kill();
            second.waitForFinished();
        }
        QCOMPARE(finish(*holder), 0);
        QVERIFY2(answered, "the refusal box never appeared");
        QVERIFY(exited);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 255);
    }
};

QTEST_GUILESS_MAIN(TestRunGuard)
#include "testrunguard.moc"
