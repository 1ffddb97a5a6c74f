// Shared by the suites that build a whole main window: a simulated camera,
// and a timer that answers any modal box the start-up may show.
#ifndef MAINWINDOWFIXTURE_H
#define MAINWINDOWFIXTURE_H

#include "cammainwindow.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <memory>

inline std::unique_ptr<CamMainWindow> makeMainWindowWithSimulatedCamera()
{
    qputenv("ORVIX_SIMULATED_CAMERAS", "Sim|640x480|");
    QTimer answerer;
    answerer.setInterval(50);
    QObject::connect(&answerer, &QTimer::timeout, [] {
        if (QWidget *box = QApplication::activeModalWidget())
            box->close();
    });
    answerer.start();
    std::unique_ptr<CamMainWindow> window(new CamMainWindow(nullptr));
    answerer.stop();
    return window;
}

#endif
