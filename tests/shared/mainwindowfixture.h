// Shared by the suites that build a whole main window: a simulated camera,
// a timer that answers any modal box the start-up may show, and the window's
// parts found the way a user finds them, by name.
#ifndef MAINWINDOWFIXTURE_H
#define MAINWINDOWFIXTURE_H

#include "ui/cammainwindow.h"
#include "ui/titlebar.h"

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTimer>
#include <QWidget>
#include <QtTest>

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

template <class T> T *namedPart(const QObject &window, const char *name)
{
    T *part = window.findChild<T *>(QLatin1String(name));
    if (!part)
        qFatal("the main window has no %s", name);
    return part;
}

// The main window's widgets, by their object names.
struct WindowParts
{
    explicit WindowParts(CamMainWindow &w)
        : session(w.session()), scanBtn(namedPart<QPushButton>(w, "scanBtn")),
          oneTOneBtn(namedPart<QPushButton>(w, "oneTOneBtn")), zoomInBtn(namedPart<QPushButton>(w, "zoomInBtn")),
          zoomOutBtn(namedPart<QPushButton>(w, "zoomOutBtn")),
          rotateLeftBtn(namedPart<QPushButton>(w, "rotateLeftBtn")),
          rotateRightBtn(namedPart<QPushButton>(w, "rotateRightBtn")), cutBtn(namedPart<QPushButton>(w, "cutBtn")),
          bookBtn(namedPart<QPushButton>(w, "bookBtn")), saveBtn(namedPart<QPushButton>(w, "saveBtn")),
          MergePDFBtn(namedPart<QPushButton>(w, "MergePDFBtn")), imgListView(namedPart<QListView>(w, "imgListView")),
          listViewMenu(namedPart<QMenu>(w, "listViewMenu")), maskWidget(namedPart<QWidget>(w, "maskWidget")),
          maskLabel(namedPart<QLabel>(w, "maskLabel")), videoWidget(namedPart<QWidget>(w, "videoWidget")),
          toolBarWidget(namedPart<QWidget>(w, "toolBarWidget")),
          leftBottomWidget(namedPart<QWidget>(w, "leftBottomWidget")),
          rightWidget(namedPart<QWidget>(w, "rightWidget")), rightTopWidget(namedPart<QWidget>(w, "rightTopWidget")),
          leftWidget(namedPart<QWidget>(w, "leftWidget")), m_titleBar(namedPart<TitleBar>(w, "m_titleBar")),
          listViewProxyModel(qobject_cast<QSortFilterProxyModel *>(imgListView->model())),
          listViewModel(qobject_cast<QStandardItemModel *>(listViewProxyModel->sourceModel()))
    {
    }
    CaptureSession &session;
    QPushButton *scanBtn, *oneTOneBtn, *zoomInBtn, *zoomOutBtn, *rotateLeftBtn, *rotateRightBtn, *cutBtn, *bookBtn,
        *saveBtn, *MergePDFBtn;
    QListView *imgListView;
    QMenu *listViewMenu;
    QWidget *maskWidget;
    QLabel *maskLabel;
    QWidget *videoWidget, *toolBarWidget, *leftBottomWidget, *rightWidget, *rightTopWidget, *leftWidget;
    TitleBar *m_titleBar;
    QSortFilterProxyModel *listViewProxyModel;
    QStandardItemModel *listViewModel;
};

inline WindowParts parts(CamMainWindow &w)
{
    return WindowParts(w);
}

// Runs one of the window's slots as its button or menu would.
inline void invoke(QObject &window, const char *slot)
{
    if (!QMetaObject::invokeMethod(&window, slot, Qt::DirectConnection))
        qFatal("no slot %s", slot);
}

// Clicks the crop toggle until its counter's parity says `on`.
inline void setCrop(CamMainWindow &w, bool on)
{
    while (cropIsOn(w.cropCounter()) != on)
        invoke(w, "slotCutBtnClicked");
}

// The error box the window shows without blocking, if one is up.
inline QMessageBox *errorBox(CamMainWindow &w)
{
    for (QMessageBox *box : w.findChildren<QMessageBox *>()) {
        if (box->isVisible())
            return box;
    }
    return nullptr;
}

#endif
