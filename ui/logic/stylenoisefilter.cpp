#include "stylenoisefilter.h"

#include <QString>
#include <QtGlobal>

namespace {

QtMessageHandler g_nextHandler = nullptr;
bool g_installed = false;

void dropStyleNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && message.startsWith(QLatin1String("QCssParser::parseColorValue: Specified color without alpha value")))
        return;
    if (g_nextHandler)
        g_nextHandler(type, context, message);
}

} // namespace

void StyleNoiseFilter::install()
{
    // A second install would make the filter its own successor.
    if (g_installed)
        return;
    g_installed = true;
    g_nextHandler = qInstallMessageHandler(dropStyleNoise);
}
