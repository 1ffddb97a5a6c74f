// One whole working session on a real X server, driven with mouse and key
// events on the shown windows the way a user works: live picture, three
// pages, a turned page, a single-page PDF into a folder picked in the
// settings window, a merge, a deletion from the list's menu, and the close
// button. Afterwards the files on disk are read back with readers of their
// own. A picture of the window is kept as a test artefact.
#include "tests/shared/mainwindowfixture.h"
#include "thread/pagefolder.h"
#include "tests/shared/sessionfiles.h"
#include "settings/setwindow.h"
#include "core/stylenoisefilter.h"
#include "ui/titlebar.h"

#include "camera/orvixext.h"

#include <QtTest>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTextEdit>

#include <memory>

namespace {

const char kCamera[] = "Tarvo S1|1600x1200,800x600|tarvo";
const QSize kCaptureSize(1600, 1200);
const QSize kTurnedSize(1200, 1600);
// The resolution saved in the settings window, turned.
const QSize kSavedTurnedSize(600, 800);
const int kSaveTimeoutMs = 30000;

QString homeDir()
{
    return QDir::homePath();
}

// A click at the centre of `widget`, delivered to its top-level window as
// the window system would: whatever lies on top at that point gets it.
void clickThroughWindow(QWidget *widget, Qt::MouseButton button = Qt::LeftButton)
{
    QWidget *top = widget->window();
    const QPoint at = widget->mapTo(top, widget->rect().center());
    QTest::mouseClick(top->windowHandle(), button, Qt::NoModifier, at);
}

// Polls every 20 ms for up to 10 s: `poll` returns true once it has done
// its work. Bounded, so a window that never shows cannot leave it behind.
template <typename F>
void pollUntilDone(F poll)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, clock, poll] {
        if (poll() || clock->hasExpired(10000)) {
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start();
}

// Hands the next modal dialog of type T to `answer`.
template <typename T, typename F>
void answerModalWith(F answer)
{
    pollUntilDone([answer] {
        auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget());
        if (dialog)
            answer(dialog);
        return dialog != nullptr;
    });
}

// Answers the next popup menu by clicking its entry `text`; the flag tells
// whether the entry was there.
std::shared_ptr<bool> clickMenuEntryWhenShown(const QString &text)
{
    auto found = std::make_shared<bool>(false);
    pollUntilDone([text, found] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return false;
        for (QAction *action : menu->actions()) {
            if (action->text() == text) {
                *found = true;
                const QPoint at = menu->actionGeometry(action).center();
                QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, at);
                return true;
            }
        }
        menu->close();
        return true;
    });
    return found;
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CamMainWindow> m_window;
    QString m_pdfFolder;
    QStringList m_jpegPaths; // scanned JPG files, in scan order
    QString m_pdfPath;       // the single-page PDF
    QString m_pageImageOfPdf; // its page image in the page folder
    QString m_mergedPath;
    QString m_deletedPath;

    void waitForSaveToEnd()
    {
        QTRY_VERIFY_WITH_TIMEOUT(parts(*m_window).maskWidget->isHidden(), kSaveTimeoutMs);
        QVERIFY(!m_window->session().isSaving());
    }

    // Clicks the scan button and waits for the busy mask to go; `shown` is
    // the path the new list row shows. With `clickAgain` a second click
    // follows at once, which the busy mask must take.
    void scanOnePage(QString *shown, bool clickAgain = false)
    {
        const int rowsBefore = parts(*m_window).listViewModel->rowCount();
        QTRY_VERIFY_WITH_TIMEOUT(parts(*m_window).scanBtn->isEnabled(), 10000);
        clickThroughWindow(parts(*m_window).scanBtn);
        QVERIFY(parts(*m_window).maskWidget->isVisible());
        if (clickAgain) {
            const QPoint at = parts(*m_window).scanBtn->mapTo(m_window.get(), parts(*m_window).scanBtn->rect().center());
            QWidget *onTop = m_window->childAt(at);
            QVERIFY(onTop == parts(*m_window).maskWidget || parts(*m_window).maskWidget->isAncestorOf(onTop));
            clickThroughWindow(parts(*m_window).scanBtn);
        }
        QCOMPARE(parts(*m_window).listViewModel->rowCount(), rowsBefore + 1);
        waitForSaveToEnd();
        *shown = m_window->session().shownPaths().last();
    }

private slots:
    void initTestCase();
    void liveFramesReachTheWindow();
    void scansThreeJpegPagesWithCropOff();
    void turnedPageHasSwappedSides();
    void settingsWindowChoosesPdfFolderAndResolution();
    void scanWritesASinglePagePdf();
    void mergeTakesEveryPageOfTheRun();
    void contextMenuDeletesOnePage();
    void keepsAPictureOfTheWindow();
    void closeButtonEndsTheSession();
    void filesOnDiskMatchTheSession();
    void cleanupTestCase();
};

void TestSession::initTestCase()
{
    StyleNoiseFilter::install();
    // The folder dialog is answered from a timer; a desktop's own dialog
    // would live outside this process.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QVERIFY2(!QFileInfo::exists(homeDir() + "/NorLastSetting.ini"), "the session starts without settings");
    qputenv("ORVIX_SIMULATED_CAMERAS", kCamera);

    m_window.reset(new CamMainWindow(nullptr));
    m_window->setWindowTitle("Quillo");
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestSession::liveFramesReachTheWindow()
{
    QCOMPARE(m_window->session().deviceNames(), QStringList{"Tarvo S1"});
    QTRY_VERIFY_WITH_TIMEOUT(Orvix_FramesDelivered() > 2, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(parts(*m_window).scanBtn->isEnabled(), 10000);
    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());
    QVERIFY(parts(*m_window).m_titleBar->m_pButtonSet->isEnabled());
    QCOMPARE(CaptureSession::frame().image.size(), kCaptureSize);
}

void TestSession::scansThreeJpegPagesWithCropOff()
{
    // A Tarvo camera starts with automatic cropping on; off, every page has
    // the capture size.
    QVERIFY(parts(*m_window).cutBtn->isDown());
    clickThroughWindow(parts(*m_window).cutBtn);
    QVERIFY(!parts(*m_window).cutBtn->isDown());
    QCOMPARE(m_window->cropCounter() % 2, 0);

    for (int i = 0; i < 3; ++i) {
        QString shown;
        scanOnePage(&shown, i == 0);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(QFileInfo(shown).absolutePath(), homeDir());
        m_jpegPaths << shown;
    }
    QCOMPARE(m_window->session().pagePaths(), m_jpegPaths);
    for (const QString &path : qAsConst(m_jpegPaths))
        QCOMPARE(QImageReader(path).size(), kCaptureSize);
    QVERIFY(!parts(*m_window).cutBtn->isDown());
}

void TestSession::turnedPageHasSwappedSides()
{
    clickThroughWindow(parts(*m_window).rotateRightBtn);
    QCOMPARE(int(m_window->rotation()), 90);
    QString shown;
    scanOnePage(&shown);
    if (QTest::currentTestFailed())
        return;
    m_jpegPaths << shown;
    QCOMPARE(QImageReader(shown).size(), kTurnedSize);
}

void TestSession::settingsWindowChoosesPdfFolderAndResolution()
{
    m_pdfFolder = homeDir() + "/pdf-pages";
    QVERIFY(QDir().mkpath(m_pdfFolder));

    clickThroughWindow(parts(*m_window).m_titleBar->m_pButtonSet);
    SetWindow *set = m_window->settingsWindow();
    QVERIFY(set);
    QVERIFY(QTest::qWaitForWindowExposed(set));
    QCOMPARE(set->ptypeCbbFormat->currentText(), QStringLiteral("JPG"));
    QCOMPARE(set->edited().folder, homeDir());

    // Format and resolution by keyboard, as a user steps through them.
    set->ptypeCbbFormat->setFocus();
    QTest::keyClick(set->ptypeCbbFormat, Qt::Key_Down);
    QCOMPARE(set->ptypeCbbFormat->currentText(), QStringLiteral("单页PDF"));
    QCOMPARE(set->ptypeCbbResolution->currentText(), QStringLiteral("1600x1200"));
    set->ptypeCbbResolution->setFocus();
    QTest::keyClick(set->ptypeCbbResolution, Qt::Key_Down);
    QCOMPARE(set->ptypeCbbResolution->currentText(), QStringLiteral("800x600"));
    QVERIFY(set->captureChanged());

    // The folder through the browse button; its dialog is answered as a
    // user would: type the folder into its name box and press Return.
    auto dialogSeen = std::make_shared<bool>(false);
    const QString folder = m_pdfFolder;
    answerModalWith<QFileDialog>([dialogSeen, folder](QFileDialog *dialog) {
        *dialogSeen = true;
        auto *nameBox = dialog->findChild<QLineEdit *>("fileNameEdit");
        if (!nameBox) {
            dialog->reject();
            return;
        }
        nameBox->setText(folder);
        QTest::keyClick(nameBox, Qt::Key_Return);
    });
    clickThroughWindow(set->FileBtn);
    QVERIFY(*dialogSeen);
    QCOMPARE(set->edited().folder, m_pdfFolder);
    QCOMPARE(set->ptypeTxt->toPlainText(), m_pdfFolder);

    clickThroughWindow(set->saveBtn);
    QVERIFY(set->isSaved());
    QTRY_VERIFY(!set->isVisible());

    QSettings ini(homeDir() + "/NorLastSetting.ini", QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/FileFormat").toString(), QStringLiteral("1"));
    QCOMPARE(ini.value("Settings/FilePath").toString(), m_pdfFolder);
    QCOMPARE(ini.value("Settings/XResolution").toString(), QStringLiteral("800"));
    QCOMPARE(ini.value("Settings/YResolution").toString(), QStringLiteral("600"));

    // The saved resolution restarts the live picture at that size.
    QTRY_COMPARE_WITH_TIMEOUT(CaptureSession::frame().image.size(), QSize(800, 600), 10000);
}

void TestSession::scanWritesASinglePagePdf()
{
    // A scan captures at the resolution saved in the settings window.
    QString shown;
    scanOnePage(&shown);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(QFileInfo(shown).absolutePath(), m_pdfFolder);
    QVERIFY(shown.endsWith(".pdf"));
    m_pdfPath = shown;
    m_pageImageOfPdf = m_window->session().pagePaths().last();
    QCOMPARE(m_pageImageOfPdf, pagefolder::path() + "/" + QFileInfo(shown).completeBaseName() + ".jpg");
    QCOMPARE(QImageReader(m_pageImageOfPdf).size(), kSavedTurnedSize);

    const sessionfiles::PdfFacts pdf = sessionfiles::readPdf(m_pdfPath);
    QVERIFY2(pdf.readable, qPrintable(pdf.error));
    QCOMPARE(pdf.pageSizes.size(), 1);
    QCOMPARE(pdf.pageSizes.first(), kSavedTurnedSize);
}

void TestSession::mergeTakesEveryPageOfTheRun()
{
    const QStringList before = sessionfiles::stampedFiles(homeDir(), "pdf");
    QVERIFY(before.isEmpty());
    clickThroughWindow(parts(*m_window).MergePDFBtn);
    QVERIFY(parts(*m_window).MergePDFBtn->isEnabled());

    // The merge goes to the folder of the run's first scan: the home folder.
    const QStringList after = sessionfiles::stampedFiles(homeDir(), "pdf");
    QCOMPARE(after.size(), 1);
    m_mergedPath = homeDir() + "/" + after.first();

    const sessionfiles::PdfFacts pdf = sessionfiles::readPdf(m_mergedPath);
    QVERIFY2(pdf.readable, qPrintable(pdf.error));
    const QList<QSize> expected{kCaptureSize, kCaptureSize, kCaptureSize, kTurnedSize, kSavedTurnedSize};
    QCOMPARE(pdf.pageSizes.size(), m_window->session().pagePaths().size());
    QCOMPARE(pdf.pageSizes, expected);
}

void TestSession::contextMenuDeletesOnePage()
{
    QListView *view = parts(*m_window).imgListView;
    QCOMPARE(parts(*m_window).listViewModel->rowCount(), 5);
    const QModelIndex second = view->model()->index(1, 0);
    view->scrollTo(second);
    QTest::qWait(50);
    m_deletedPath = m_window->session().shownPaths().at(1);
    QCOMPARE(m_deletedPath, m_jpegPaths.at(1));

    const std::shared_ptr<bool> entryFound = clickMenuEntryWhenShown(QStringLiteral("删除"));
    const QPoint inViewport = view->visualRect(second).center();
    const QPoint inWindow = view->viewport()->mapTo(m_window.get(), inViewport);
    QTest::mouseClick(m_window->windowHandle(), Qt::RightButton, Qt::NoModifier, inWindow);
    QTRY_VERIFY(*entryFound);

    QTRY_COMPARE(parts(*m_window).listViewModel->rowCount(), 4);
    QVERIFY(!QFileInfo::exists(m_deletedPath));
    QStringList remaining = m_jpegPaths;
    remaining.removeAt(1);
    QCOMPARE(m_window->session().shownPaths(), remaining + QStringList{m_pdfPath});
    QCOMPARE(m_window->session().pagePaths(), remaining + QStringList{m_pageImageOfPdf});
    for (const QString &kept : qAsConst(remaining))
        QVERIFY(QFileInfo::exists(kept));
}

void TestSession::keepsAPictureOfTheWindow()
{
    QString folder = qEnvironmentVariable("QUILLO_ARTEFACT_DIR");
    if (folder.isEmpty())
        folder = QStringLiteral(QUILLO_BINARY_DIR "/artefacts");
    QVERIFY(QDir().mkpath(folder));
    const QPixmap picture = m_window->grab();
    QCOMPARE(picture.size(), m_window->size());
    const QString path = folder + "/session-window.png";
    QVERIFY(picture.save(path, "PNG"));
    QCOMPARE(QImageReader(path).size(), QSize(780, 480));
    // The live picture fills the area left of the list: not all window grey.
    const QImage image = picture.toImage();
    const QPoint inVideo = parts(*m_window).videoWidget->mapTo(m_window.get(), parts(*m_window).videoWidget->rect().center());
    QVERIFY(image.pixelColor(inVideo) != QColor(217, 217, 217));
    printf("session screenshot: %s\n", qPrintable(path));
    fflush(stdout);
}

void TestSession::closeButtonEndsTheSession()
{
    clickThroughWindow(parts(*m_window).m_titleBar->m_pButtonClose);
    QTRY_VERIFY(!m_window->isVisible());
    QCOMPARE(m_window->cropCounter(), 1);
    const long delivered = Orvix_FramesDelivered();
    QTest::qWait(300);
    QCOMPARE(Orvix_FramesDelivered(), delivered);
    m_window.reset();
    QVERIFY(g_Camself == nullptr);
}

void TestSession::filesOnDiskMatchTheSession()
{
    const QStringList jpegs = sessionfiles::stampedFiles(homeDir(), "jpg");
    QStringList expectedJpegs;
    for (const QString &path : qAsConst(m_jpegPaths))
        if (path != m_deletedPath)
            expectedJpegs << QFileInfo(path).fileName();
    QCOMPARE(jpegs, expectedJpegs);
    QCOMPARE(sessionfiles::stampedFiles(homeDir(), "pdf"), QStringList{QFileInfo(m_mergedPath).fileName()});
    QCOMPARE(sessionfiles::stampedFiles(m_pdfFolder, "pdf"), QStringList{QFileInfo(m_pdfPath).fileName()});
    QCOMPARE(sessionfiles::stampedFiles(m_pdfFolder, "jpg"), QStringList());
    QCOMPARE(sessionfiles::unexpectedEntries(homeDir(), {"NorLastSetting.ini", "pdf-pages"}), QStringList());

    for (const QString &name : jpegs) {
        const QString path = homeDir() + "/" + name;
        QCOMPARE(sessionfiles::magic(path, 3), QByteArray("\xFF\xD8\xFF"));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("jpeg"));
        const QImage page = reader.read();
        QVERIFY2(!page.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(page.size(), path == m_jpegPaths.last() ? kTurnedSize : kCaptureSize);
    }
    for (const QString &path : {m_pdfPath, m_mergedPath})
        QCOMPARE(sessionfiles::magic(path, 5), QByteArray("%PDF-"));
    QVERIFY(!QFileInfo::exists(m_deletedPath));
}

void TestSession::cleanupTestCase()
{
    m_window.reset();
    // Closing the program takes the page image of the PDF scan with it.
    if (!m_pageImageOfPdf.isEmpty())
        QVERIFY(!QFileInfo::exists(m_pageImageOfPdf));
}

QTEST_MAIN(TestSession)
#include "testsession.moc"
