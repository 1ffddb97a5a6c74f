// The read-back measure the recognition bench and scripts/e2e-ocr.sh judge
// by: its thresholds mean nothing if the measure itself is off.
#include "bench/textpage.h"

#include <QtTest>

class TestTextAccuracy : public QObject
{
    Q_OBJECT

private slots:
    void measuresAgainstTheTruth_data()
    {
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("truth");
        QTest::addColumn<double>("expected");
        QTest::newRow("same text") << "The ferry left." << "The ferry left." << 1.0;
        QTest::newRow("white space and line breaks ignored") << "Theferry\n le ft ." << "The ferry left." << 1.0;
        // Shares of the truth's length (ten characters), not of what was read.
        QTest::newRow("one letter wrong in ten") << "abcdefghiX" << "abcdefghij" << 0.9;
        QTest::newRow("half missing") << "abcde" << "abcdefghij" << 0.5;
        QTest::newRow("five letters too many") << "abcdefghijKLMNO" << "abcdefghij" << 0.5;
        QTest::newRow("far longer than the truth") << "xxxxxxxxxxxxxxxxxxxxxxxx" << "abcdefghij" << 0.0;
        // A Chinese character is one character, not three UTF-8 bytes.
        QTest::newRow("one Chinese character wrong in four") << "渔民们们" << "渔民们把" << 0.75;
        QTest::newRow("Chinese and English mixed") << "码头 dock" << "码头dack" << 5.0 / 6.0;
        // Pages read back in the wrong order score low.
        QTest::newRow("halves swapped") << "fghijabcde" << "abcdefghij" << 0.0;
        QTest::newRow("nothing to read, nothing read") << " \n" << "" << 1.0;
        QTest::newRow("nothing to read, text read") << "abc" << "" << 0.0;
        QTest::newRow("text to read, nothing read") << "" << "abc" << 0.0;
    }

    void measuresAgainstTheTruth()
    {
        QFETCH(QString, read);
        QFETCH(QString, truth);
        QFETCH(double, expected);
        QCOMPARE(textpage::accuracy(read, truth), expected);
    }
};

QTEST_APPLESS_MAIN(TestTextAccuracy)
#include "testtextaccuracy.moc"
