// libOrvix.so.1 is what the application links and what a maker's library
// would replace: its name and exported symbols must stay exactly these.
#include "tests/shared/emulatedskip.h"

#include <QtTest>
#include <QProcess>

namespace {
const QString kLibrary = QStringLiteral(QUILLO_BINARY_DIR "/sdk/libOrvix.so.1");

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}
} // namespace

class TestLibraryExports : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sonameIsVersioned();
    void exportsOnlyTheEntryPoints();
};

void TestLibraryExports::initTestCase()
{
    QUILLO_SKIP_WHEN_EMULATED();
}

void TestLibraryExports::sonameIsVersioned()
{
    const QString out = run("objdump", {"-p", kLibrary});
    QVERIFY2(!out.isEmpty(), "objdump could not read the library");
    const QRegularExpression soname("SONAME\\s+(\\S+)");
    const QRegularExpressionMatch m = soname.match(out);
    QVERIFY(m.hasMatch());
    QCOMPARE(m.captured(1), QString("libOrvix.so.1"));
}

void TestLibraryExports::exportsOnlyTheEntryPoints()
{
    const QString out = run("nm", {"-D", "--defined-only", kLibrary});
    QVERIFY2(!out.isEmpty(), "nm could not read the library");
    QStringList functions;
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(' ', Qt::SkipEmptyParts);
        if (parts.size() < 3)
            continue;
        const QString name = parts.at(2).section('@', 0, 0);
        if (parts.at(1) == "A") // the version node itself
            continue;
        functions << name;
    }
    functions.sort();
    const QStringList expected = {
        "Cam_CameraCaptureFile", "Cam_CameraCaptureStart", "Cam_CameraCaptureStop",
        "Cam_GetCameraFormatCount", "Cam_GetCameraFormatName", "Cam_GetCameraResolutionCount",
        "Cam_GetCameraResolutionName", "Cam_GetDevCount", "Cam_GetDevName", "Cam_Init",
        "Cam_SetAutoCrop", "Cam_SetCameraFormat", "Cam_SetCameraResolution",
        "Cam_readBufFromJpegBuf", "Orvix_FramesDelivered", "Orvix_PreviewOutline", "Orvix_IsDeviceAccessible",
        "Orvix_IsTarvoDevice", "Orvix_LastError", "Orvix_LastErrorNumber", "Orvix_ReadBufFromJpegBufScaled",
        "Orvix_CameraCaptureNewFile", "Orvix_CameraCaptureBookFiles"};
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(functions, sortedExpected);
}

QTEST_GUILESS_MAIN(TestLibraryExports)
#include "testlibraryexports.moc"
