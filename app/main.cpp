#include "ui/cammainwindow.h"
#include "app/commandline.h"
#include "app/runguard.h"
#include "core/stylenoisefilter.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char **argv)
{
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    if (commandLine.action() != CommandLine::Action::Run)
        return commandLine.answer(stdout, stderr);
    commandLine.reportIgnored(stderr);
    StyleNoiseFilter::install();
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
