// Prints how long a scan takes to reach a complete file, and what the PDF
// writer costs per page when one writer rewrites the document after each page.
#include "ui/cammainwindow.h"
#include "thread/getscannerinfothread.h"
#include "pdf/hpdfoperation.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const int kWidth = 3264;
const int kHeight = 2448;

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// One save on its own thread, as the scan runs it; ms until signalOver.
double timeWorker(const QString &jpeg, const QString &pdf, int code, int cropType)
{
    IMAGEPARAM p{};
    p.nCropType = cropType;
    auto *worker = new GetScannerInfoThread(p, jpeg, pdf, code);
    QThread thread;
    worker->moveToThread(&thread);
    QObject::connect(&thread, SIGNAL(started()), worker, SLOT(slotSaveImg()));
    QObject::connect(&thread, SIGNAL(finished()), worker, SLOT(deleteLater()));
    QEventLoop loop;
    QObject::connect(worker, SIGNAL(signalOver()), &loop, SLOT(quit()), Qt::QueuedConnection);
    QElapsedTimer t;
    t.start();
    thread.start();
    loop.exec();
    const qint64 elapsed = t.nsecsElapsed();
    thread.quit();
    thread.wait();
    return ms(elapsed);
}

// From the click to the moment the mask goes (the file is then complete).
double timeClick(CamMainWindow *w, QWidget *mask)
{
    QElapsedTimer t;
    t.start();
    QMetaObject::invokeMethod(w, "slotScanBtnClicked", Qt::DirectConnection);
    while (mask && !mask->isHidden())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return ms(t.nsecsElapsed());
}

void writeSettings(const QString &folder, int format)
{
    QSettings ini(QDir::homePath() + "/NorLastSetting.ini", QSettings::IniFormat);
    const char *keys[] = {"FilePath", "DevName", "XResolution", "YResolution", "bIsWater", "WaterContent",
                          "WaterFont", "WaterColorR", "WaterColorG", "WaterColorB", "bTextEn", "FileFormat"};
    const QStringList values = {folder, "0", QString::number(kWidth), QString::number(kHeight), "0", "",
                                "20", "0", "0", "0", "0", QString::number(format)};
    for (int i = 0; i < 12; ++i)
        ini.setValue(QStringLiteral("Settings/%1").arg(keys[i]), values.at(i));
}

void benchWriter(const QString &dir)
{
    std::vector<unsigned char> px(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            unsigned char *p = &px[(size_t(y) * kWidth + x) * 3];
            p[0] = uchar(x);
            p[1] = uchar(y);
            p[2] = uchar(x ^ y);
        }

    const QByteArray single = (dir + "/single.pdf").toUtf8();
    {
        hpdfoperation writer;
        QElapsedTimer t;
        t.start();
        writer.rgb2pdf(px.data(), kWidth, kHeight, single.constData(), 0, 0);
        printf("pdf writer, one %dx%d page: %.1f ms, %.1f MB\n", kWidth, kHeight, ms(t.nsecsElapsed()),
               QFileInfo(QString::fromUtf8(single)).size() / 1e6);
    }

    const QByteArray ten = (dir + "/ten.pdf").toUtf8();
    hpdfoperation writer;
    double total = 0;
    printf("pdf writer, 10 pages on one writer, document rewritten after each page:\n");
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer t;
        t.start();
        writer.rgb2pdf(px.data(), kWidth, kHeight, ten.constData(), 0, i);
        const double took = ms(t.nsecsElapsed());
        total += took;
        printf("  page %2d: %8.1f ms, file %7.1f MB\n", i + 1, took,
               QFileInfo(QString::fromUtf8(ten)).size() / 1e6);
    }
    printf("  total %.1f ms, %.1f ms per page, final file %.1f MB (%.2f MB per page)\n", total, total / 10,
           QFileInfo(QString::fromUtf8(ten)).size() / 1e6, QFileInfo(QString::fromUtf8(ten)).size() / 1e7);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("ORVIX_V4L2", "0");
    // A camera of the family that starts with automatic cropping on, as the
    // click figure is meant for; its preview outline runs meanwhile.
    qputenv("ORVIX_SIMULATED_CAMERAS", QByteArray("Bench|") + QByteArray::number(kWidth) + "x" +
                                           QByteArray::number(kHeight) + "|tarvo");
    QApplication app(argc, argv);
    QTemporaryDir out;
    const int rounds = 3;

    // The worker alone.
    Cam_Init();
    Cam_SetCameraResolution(0, kWidth, kHeight);
    for (int crop : {0, 1}) {
        for (int code : {0, 1}) {
            double sum = 0, best = 1e30;
            QSize page;
            for (int i = 0; i < rounds; ++i) {
                // Saves never replace a file: every round has names of its own.
                const QString name = QStringLiteral("w%1-%2").arg(crop).arg(i);
                const QString jpeg = out.filePath(name + (code == 1 ? "-page.jpg" : ".jpg"));
                const QString pdf = code == 1 ? out.filePath(name + ".pdf") : QString();
                const double took = timeWorker(jpeg, pdf, code, crop);
                sum += took;
                best = qMin(best, took);
                page = QImageReader(jpeg).size();
                if (code == 1)
                    QFile::remove(jpeg);
            }
            printf("worker start to complete %s, crop %s, page %dx%d: mean %.1f ms, best %.1f ms (%d runs)\n",
                   code == 1 ? "single-page PDF" : "JPEG", crop ? "on" : "off", page.width(), page.height(),
                   sum / rounds, best, rounds);
        }
    }

    // The whole scan, from the click.
    for (int code : {0, 1}) {
        writeSettings(out.path(), code);
        CamMainWindow w;
        std::vector<double> times;
        // The crop button's pressed look says whether the scans are cropped.
        bool cropOn = false;
        for (QPushButton *button : w.findChildren<QPushButton *>())
            if (button->toolTip() == QStringLiteral("裁切"))
                cropOn = button->isDown();
        // The busy mask is the parent of its label.
        QWidget *maskWidget = nullptr;
        for (QLabel *label : w.findChildren<QLabel *>()) {
            if (label->text() == QStringLiteral("处理中，请稍等..."))
                maskWidget = label->parentWidget();
        }
        // The first scan after start-up pays for buffers later ones reuse;
        // on a shared machine the median of several says more than a mean.
        const int clicks = code == 1 ? rounds : 3 * rounds;
        for (int i = 0; i < clicks; ++i)
            times.push_back(timeClick(&w, maskWidget));
        const double first = times.front();
        std::sort(times.begin(), times.end());
        printf("click to complete %s, camera %dx%d, crop %s (start-up state): median %.1f ms, best %.1f ms, "
               "first %.1f ms (%d runs)\n",
               code == 1 ? "single-page PDF" : "JPEG", kWidth, kHeight, cropOn ? "on" : "off",
               times[times.size() / 2], times.front(), first, clicks);
    }
    benchWriter(out.path());
    return 0;
}
