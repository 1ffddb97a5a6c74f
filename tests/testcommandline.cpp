// The program's own options: decided before Qt starts, answered on standard
// output without a display, without the single-instance guard and without a
// camera; anything unknown (a file name a launcher passes) is named in one
// line on standard error and the program starts all the same.
#include "app/commandline.h"
#include "tests/emulatedskip.h"
#include "tests/ipcleftovers.h"

#include <QtTest>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

// No display of any kind, HOME and TMPDIR in the given folders, a simulated camera.
QProcessEnvironment headless(const QTemporaryDir &home, const QTemporaryDir &tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("HOME", home.path());
    env.insert("TMPDIR", tmp.path());
    env.insert("ORVIX_SIMULATED_CAMERAS", "Probe Cam|640x480|");
    env.insert("ORVIX_V4L2", "0");
    return env;
}

Run runHeadless(const QString &program, const QStringList &args, const QTemporaryDir &home,
                const QTemporaryDir &tmp)
{
    QProcess p;
    p.setProcessEnvironment(headless(home, tmp));
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QStringList entries(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void programAnswersWithoutDisplayGuardOrCamera_data();
    void programAnswersWithoutDisplayGuardOrCamera();
    void guardWouldShowInTmpdir();
    void unknownArgumentsAreNamedAndTheProgramStarts_data();
    void unknownArgumentsAreNamedAndTheProgramStarts();
};

void TestCommandLine::parsing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("ignored");
    const int run = int(CommandLine::Action::Run), help = int(CommandLine::Action::ShowHelp),
              version = int(CommandLine::Action::ShowVersion), fail = int(CommandLine::Action::Fail);
    const QStringList none;
    QTest::newRow("none") << QStringList() << run << "" << none;
    QTest::newRow("Qt options pass") << QStringList{"-platform", "offscreen", "--style=fusion", "-reverse"} << run << ""
                                     << none;
    QTest::newRow("--help") << QStringList{"--help"} << help << "" << none;
    QTest::newRow("-h") << QStringList{"-h"} << help << "" << none;
    QTest::newRow("--version") << QStringList{"--version"} << version << "" << none;
    QTest::newRow("-v after a Qt option") << QStringList{"-style", "fusion", "-v"} << version << "" << none;
    QTest::newRow("first of ours decides") << QStringList{"--help", "--bogus"} << help << "" << none;
    QTest::newRow("help after an unknown") << QStringList{"page.jpg", "--help"} << help << "" << QStringList{"page.jpg"};
    QTest::newRow("unknown long") << QStringList{"--bogus"} << run << "" << QStringList{"unknown option '--bogus'"};
    QTest::newRow("unknown after Qt") << QStringList{"-platform", "xcb", "-x"} << run << ""
                                      << QStringList{"unknown option '-x'"};
    QTest::newRow("flag given a value") << QStringList{"--reverse=1"} << run << ""
                                        << QStringList{"unknown option '--reverse=1'"};
    QTest::newRow("Qt value missing") << QStringList{"-style"} << fail << "option '-style' needs a value" << none;
    QTest::newRow("file name") << QStringList{"page.jpg"} << run << "" << QStringList{"argument 'page.jpg'"};
    QTest::newRow("lone dash") << QStringList{"-"} << run << "" << QStringList{"argument '-'"};
    QTest::newRow("newline in a name") << QStringList{"a\nb.pdf"} << run << "" << QStringList{"argument 'a?b.pdf'"};
    QTest::newRow("each named") << QStringList{"a.jpg", "-platform", "xcb", "b.jpg"} << run << ""
                                << QStringList{"argument 'a.jpg'", "argument 'b.jpg'"};
}

void TestCommandLine::parsing()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, error);
    QFETCH(QStringList, ignored);
    std::vector<QByteArray> storage{QByteArray("quillo")};
    for (const QString &a : args)
        storage.push_back(a.toUtf8());
    std::vector<const char *> argv;
    for (const QByteArray &a : storage)
        argv.push_back(a.constData());
    const CommandLine cl = CommandLine::parse(int(argv.size()), argv.data());
    QCOMPARE(int(cl.action()), action);
    QCOMPARE(int(cl.ignored().size()), ignored.size());
    for (int i = 0; i < ignored.size(); ++i) {
        const QString line = QString::fromStdString(cl.ignored()[size_t(i)]);
        QVERIFY2(line.startsWith("quillo: ignoring ") && line.contains(ignored[i]) && !line.contains('\n'),
                 qPrintable(line));
    }
    const QString message = QString::fromStdString(cl.error());
    if (error.isEmpty()) {
        QVERIFY(message.isEmpty());
        return;
    }
    QVERIFY2(message.contains(error), qPrintable(message));
    QVERIFY(message.startsWith("quillo: "));
    QVERIFY(!message.contains('\n'));
}

void TestCommandLine::programAnswersWithoutDisplayGuardOrCamera_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // a pattern for the whole of standard output
    QTest::addColumn<QString>("err"); // a pattern for the whole of standard error
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << "^quillo " QUILLO_VERSION_TEXT "\n$" << "^$";
    QTest::newRow("--help") << QStringList{"--help"} << 0
                            << "^Usage: quillo .*ORVIX_SIMULATED_CAMERAS.*ORVIX_V4L2.*NorLastSetting\\.ini.*\n$"
                            << "^$";
    QTest::newRow("Qt option without its value") << QStringList{"-platform"} << 2 << "^$"
                                                 << "^quillo: option '-platform' needs a value[^\n]*\n$";
}

void TestCommandLine::programAnswersWithoutDisplayGuardOrCamera()
{
    QUILLO_SKIP_WHEN_EMULATED();
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir home, tmp;
    QVERIFY(home.isValid() && tmp.isValid());
    const Run r = runHeadless(QUILLO_PROGRAM, args, home, tmp);
    // A program that built its application object would abort here: no display.
    QCOMPARE(r.exitCode, exitCode);
    const QRegularExpression::PatternOption dotAll = QRegularExpression::DotMatchesEverythingOption;
    QVERIFY2(QRegularExpression(out, dotAll).match(QString::fromUtf8(r.out)).hasMatch(), r.out.constData());
    QVERIFY2(QRegularExpression(err, dotAll).match(QString::fromUtf8(r.err)).hasMatch(), r.err.constData());
    // The guard's key files and a capture's page picture would land in TMPDIR,
    // a settings file in HOME: nothing may.
    QCOMPARE(entries(tmp), QStringList());
    QCOMPARE(entries(home), QStringList());
}

void TestCommandLine::guardWouldShowInTmpdir()
{
    QUILLO_SKIP_WHEN_EMULATED();
    // What the check above relies on: taking the guard leaves files in TMPDIR.
    QTemporaryDir home, tmp;
    QVERIFY(home.isValid() && tmp.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", tmp.path());
    QProcess helper;
    helper.setProcessEnvironment(env);
    helper.start(GUARD_HELPER, {QString("QuilloCommandLineTest_%1").arg(QCoreApplication::applicationPid())});
    QVERIFY(helper.waitForReadyRead(20000));
    QVERIFY(helper.readAllStandardOutput().contains("RUNNING"));
    QVERIFY(!entries(tmp).isEmpty());
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(20000));
}

void TestCommandLine::unknownArgumentsAreNamedAndTheProgramStarts_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named"); // a pattern for the start of standard error
    QTest::newRow("a file name from a launcher") << QStringList{"page.jpg"}
                                                 << "^quillo: ignoring argument 'page.jpg'[^\n]*\n";
    QTest::newRow("an unknown option, then a file name")
        << QStringList{"--open", "page.jpg"}
        << "^quillo: ignoring unknown option '--open'[^\n]*\nquillo: ignoring argument 'page.jpg'[^\n]*\n";
}

void TestCommandLine::unknownArgumentsAreNamedAndTheProgramStarts()
{
    QUILLO_SKIP_WHEN_EMULATED();
    QFETCH(QStringList, args);
    QFETCH(QString, named);
    QTemporaryDir home, tmp;
    QVERIFY(home.isValid() && tmp.isValid());
    QProcess p;
    p.setProcessEnvironment(headless(home, tmp));
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QUILLO_PROGRAM, QStringList{"-platform", "offscreen"} + args);
    QByteArray err;
    // Started: the window has the camera's picture coming.
    for (int i = 0; i < 300 && !err.contains("Cam_CameraCaptureStart") && p.state() != QProcess::NotRunning; ++i) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    const bool running = p.state() == QProcess::Running;
    p.kill();
    p.waitForFinished();
    removeUnheldGuardObjects(tmp.path());
    QVERIFY2(running, err.constData());
    QVERIFY2(QRegularExpression(named).match(QString::fromUtf8(err)).hasMatch(), err.constData());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "testcommandline.moc"
