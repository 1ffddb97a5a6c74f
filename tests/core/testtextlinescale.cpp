// The line height measured on generated pages: on plain paper, on a shaded
// desk whose edges run down the picture, and on a page without print.
#include "bench/textpage.h"
#include "core/textlinescale.h"

#include <QtTest>

class TestTextLineScale : public QObject
{
    Q_OBJECT

private slots:
    void measuresThePrintedLines_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixelSize");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("onDesk");
        const QStringList english{"The reading room opened at nine,", "and the first visitors took the tables",
                                  "by the windows; every volume had been", "catalogued twice, once by hand."};
        const QStringList chinese{"图书馆的阅览室早上九点开门，", "第一批读者坐在靠窗的长桌旁。", "书架上的每一本书都编过两次目录。"};
        QTest::newRow("English on paper") << QSize(1280, 720) << "DejaVu Sans" << 24 << english << false;
        QTest::newRow("English on a shaded desk") << QSize(3264, 2448) << "DejaVu Serif" << 60 << english << true;
        QTest::newRow("Chinese on a shaded desk") << QSize(1920, 1080) << "WenQuanYi Micro Hei" << 40 << chinese
                                                  << true;
        QTest::newRow("no print") << QSize(1920, 1080) << "DejaVu Sans" << 40 << QStringList() << true;
    }

    void measuresThePrintedLines()
    {
        QFETCH(QSize, size);
        QFETCH(QString, family);
        QFETCH(int, pixelSize);
        QFETCH(QStringList, lines);
        QFETCH(bool, onDesk);
        textpage::Look look;
        look.onDesk = onDesk;
        if (onDesk) {
            look.shading = 80;
            look.blurPasses = 1;
            look.noise = 10;
        }
        const QImage grey =
            textpage::draw(size, lines, textpage::fontOf(family, pixelSize), look).rgb.convertToFormat(QImage::Format_Grayscale8);
        const int measured = TextLineScale::medianLineHeight(grey.constBits(), grey.width(), grey.height(),
                                                             grey.bytesPerLine());
        if (lines.isEmpty()) {
            QCOMPARE(measured, 0);
            return;
        }
        // The ink of a line spans most of the font's height, never more.
        const int fontHeight = QFontMetrics(textpage::fontOf(family, pixelSize)).height();
        QVERIFY2(measured >= fontHeight * 6 / 10 && measured <= fontHeight,
                 qPrintable(QStringLiteral("%1 px measured, font %2 px").arg(measured).arg(fontHeight)));
    }
};

QTEST_MAIN(TestTextLineScale)
#include "testtextlinescale.moc"
