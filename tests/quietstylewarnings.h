#ifndef QUIETSTYLEWARNINGS_H
#define QUIETSTYLEWARNINGS_H

#include <QByteArray>
#include <QtGlobal>

// Our button sheets write colours as rgb(r,g,b,a); Qt's style parser accepts
// them but warns on every polish. Drop those lines so real warnings stay seen.
namespace quietstyle {
inline QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

inline void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith("QCssParser::parseColorValue"))
        return;
    if (previousHandler())
        previousHandler()(type, context, message);
}
} // namespace quietstyle

inline void quietStyleWarnings()
{
    quietstyle::previousHandler() = qInstallMessageHandler(quietstyle::filter);
}

#endif
