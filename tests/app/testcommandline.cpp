// The program's own options: decided before Qt starts, answered on standard
// output without a display, without the single-instance guard and without a
// camera; anything else of no use to Qt (a file name a launcher passes) is
// named in one line and ignored, so that the program starts.
#include "app/commandline.h"
#include "tests/shared/emulatedskip.h"

#include <QtTest>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out, err;
};

// Runs `program` with no display of any kind, HOME and TMPDIR in `dir`.
Run runHeadless(const QString &program, const QStringList &args, const QTemporaryDir &home,
                const QTemporaryDir &tmp)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Without a runtime folder the guard's files would go to TMPDIR.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
        env.remove(name);
    env.insert("HOME", home.path());
    env.insert("TMPDIR", tmp.path());
    env.insert("ORVIX_SIMULATED_CAMERAS", "Probe Cam|640x480|");
    QProcess p;
    p.setProcessEnvironment(env);
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
};

void TestCommandLine::parsing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("error");
    const int run = int(CommandLine::Action::Run), help = int(CommandLine::Action::ShowHelp),
              version = int(CommandLine::Action::ShowVersion), fail = int(CommandLine::Action::Fail);
    QTest::newRow("none") << QStringList() << run << "";
    QTest::newRow("Qt options pass") << QStringList{"-platform", "offscreen", "--style=fusion", "-reverse"} << run << "";
    QTest::newRow("--help") << QStringList{"--help"} << help << "";
    QTest::newRow("-h") << QStringList{"-h"} << help << "";
    QTest::newRow("--version") << QStringList{"--version"} << version << "";
    QTest::newRow("-v after a Qt option") << QStringList{"-style", "fusion", "-v"} << version << "";
    QTest::newRow("first of ours decides") << QStringList{"--help", "--bogus"} << help << "";
    QTest::newRow("unknown long") << QStringList{"--bogus"} << run << "ignoring unknown option '--bogus'";
    QTest::newRow("unknown after Qt") << QStringList{"-platform", "xcb", "-x"} << run << "ignoring unknown option '-x'";
    QTest::newRow("flag given a value") << QStringList{"--reverse=1"} << run << "unknown option '--reverse=1'";
    QTest::newRow("Qt value missing") << QStringList{"-style"} << fail << "option '-style' needs a value";
    QTest::newRow("newline in a name") << QStringList{"-style", "x", "a\nb"} << run << "ignoring argument 'a?b'";
    QTest::newRow("lone dash") << QStringList{"-"} << run << "ignoring argument '-'";
}

void TestCommandLine::parsing()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, error);
    std::vector<QByteArray> storage{QByteArray("quillo")};
    for (const QString &a : args)
        storage.push_back(a.toUtf8());
    std::vector<const char *> argv;
    for (const QByteArray &a : storage)
        argv.push_back(a.constData());
    const CommandLine cl = CommandLine::parse(int(argv.size()), argv.data());
    QCOMPARE(int(cl.action()), action);
    // Either what stops the start or what it ignores, never both.
    std::string said = cl.error();
    for (const std::string &line : cl.ignored())
        said += line;
    const QString message = QString::fromStdString(said);
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
    env.remove("XDG_RUNTIME_DIR");
    QProcess helper;
    helper.setProcessEnvironment(env);
    helper.start(GUARD_HELPER, {QString("QuilloCommandLineTest_%1").arg(QCoreApplication::applicationPid())});
    QVERIFY(helper.waitForReadyRead(20000));
    QVERIFY(helper.readAllStandardOutput().contains("RUNNING"));
    QVERIFY(!entries(tmp).isEmpty());
    helper.closeWriteChannel();
    QVERIFY(helper.waitForFinished(20000));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "testcommandline.moc"
