#include "core/stylenoisefilter.h"

#include <QString>
#include <QtGlobal>

namespace {

// Qt hands back its default handler when none was installed, so this is set
// exactly when the filter is in place.
QtMessageHandler g_nextHandler = nullptr;

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
    if (g_nextHandler)
        return;
    g_nextHandler = qInstallMessageHandler(dropStyleNoise);
}
