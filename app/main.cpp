#include "cammainwindow.h"
#include "runguard.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QtMessageHandler g_defaultHandler = nullptr;

// The window's style sheets give colours as rgb() with four values; Qt reads
// them as meant but warns at every polish, which buries the trace lines.
void filterStyleSheetNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && message.startsWith(QLatin1String("QCssParser::parseColorValue: Specified color without alpha value")))
        return;
    g_defaultHandler(type, context, message);
}

} // namespace

int main(int argc, char **argv)
{
    g_defaultHandler = qInstallMessageHandler(filterStyleSheetNoise);
    QApplication a(argc, argv);
    RunGuard guard("QGroundControlRunGuardKey");
    if (!guard.tryToRun()) {
        QMessageBox::critical(nullptr, QObject::tr("Quillo"), QObject::tr("程序已经启动.请立刻关闭，并且重试！"),
                              QMessageBox::Ok, QMessageBox::NoButton);
        return -1;
    }
    CamMainWindow w;
    w.setWindowTitle("Quillo");
    w.show();
    return a.exec();
}
