// The scrolling title's steps, without a widget.
#include "core/titleroll.h"

#include <QtTest>

class TestTitleRoll : public QObject
{
    Q_OBJECT

private slots:
    void cycle_data();
    void cycle();
    void strayPositionsRestart_data();
    void strayPositionsRestart();
};

void TestTitleRoll::cycle_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("four characters") << "abcd" << QStringList{"abcd", "bcd", "cd", "d", "", "abcd", "bcd"};
    QTest::newRow("one character") << "Q" << QStringList{"Q", "", "Q", ""};
    QTest::newRow("empty title") << "" << QStringList{"", "", ""};
    QTest::newRow("Chinese") << "扫描仪" << QStringList{"扫描仪", "描仪", "仪", "", "扫描仪"};
}

void TestTitleRoll::cycle()
{
    QFETCH(QString, title);
    QFETCH(QStringList, shown);
    int pos = 0;
    for (const QString &expected : shown) {
        const TitleRollStep step = titleRollStep(title, pos);
        QCOMPARE(step.shown, expected);
        pos = step.nextPos;
    }
}

void TestTitleRoll::strayPositionsRestart_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("nextPos");
    QTest::newRow("left over from a longer title") << 9 << "abcd" << 1;
    QTest::newRow("one past the end") << 5 << "abcd" << 1;
    QTest::newRow("at the end shows nothing") << 4 << "" << 5;
    QTest::newRow("negative") << -3 << "abcd" << 1;
}

void TestTitleRoll::strayPositionsRestart()
{
    QFETCH(int, pos);
    QFETCH(QString, shown);
    QFETCH(int, nextPos);
    const TitleRollStep step = titleRollStep("abcd", pos);
    QCOMPARE(step.shown, shown);
    QCOMPARE(step.nextPos, nextPos);
}

QTEST_GUILESS_MAIN(TestTitleRoll)
#include "testtitleroll.moc"
