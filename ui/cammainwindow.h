#ifndef CAMMAINWINDOW_H
#define CAMMAINWINDOW_H

#include "camsdk.h"
#include "ccfgcontrol.h"
#include "core/autocapture.h"
#include "saveoutcome.h"
#include "savethreadset.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
#include <QHash>
#include <QMessageBox>
#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QMutex>
#include <QPoint>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

class GetScannerInfoThread;
class SetWindow;
class TitleBar;
class QPainter;

QT_BEGIN_NAMESPACE
namespace Ui {
class CamMainWindow;
}
QT_END_NAMESPACE

class CamMainWindow;

// Process-wide: the one main window, the latest frame and its lock.
extern CamMainWindow *g_Camself;
extern QImage *g_Camimage;
extern QMutex MutexCamDataBuffLock;

// The main window owns the run-time state. Its member functions are spread
// over one source file per concern: cammainwindow.cpp (core), _preview,
// _layout, _frame, _list, _scan, _edit, _merge and _settings.
class CamMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit CamMainWindow(QWidget *parent = nullptr);
    ~CamMainWindow() override;

    void InitDataP();
    void UIIsShow(int nType, bool bIsShow);
    void ShowCommitButton(bool bIsShow);

    int InitSDK();
    void PreviewImage();
    static int ReceiveImage(void *data, int size, int w, int h, int nFormatType);
    void ReshUI();

signals:
    void commitend();

private slots:
    void slotScanBtnClicked();
    void slotOneTOneBtnClicked();
    void slotZoomInBtnClicked();
    void slotZoomOutBtnClicked();
    void slotWatchFrames();
    void slotRotateLeftBtnClicked();
    void slotRotateRightBtnClicked();
    void slotCutBtnClicked();
    void slotbookBtnClicked();
    void slotSaveBtnClicked();
    void slotMergeBtnCliecked();
    void slotImgListViewPressed(QModelIndex nIndex);
    void onButtonMinClicked();
    void onButtonRestoreClicked();
    void onButtonMaxClicked();
    void onButtonCloseClicked();
    void onButtonSetClicked();
    void slotListViewContextMenu(QPoint pos);
    void slotTableViewMenuDelFile();
    void addMaskWidgetUI();
    void slotSaveImgThreadOver();
    void slotScanKeyPressed();
    void slotAutoCaptureKeyPressed();
    void slotScanTakenByHand();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    friend class TestMainWindowCore;
    friend class TestPreview;
    friend class TestMainWindowLayout;
    friend class TestImageList;
    friend class TestScan;
    friend class TestEditCommands;
    friend class TestMerge;
    friend class TestSettingsApply;
    friend class TestSession;
    friend class TestHandsFree;
    friend class TestSavingFaults;
    friend class TestStartupSettings;

    void initUI();
    void initConnection();
    void addItem(QString path);
    QStringList getListSelectedFile();
    void showCameraErrorBox(const QString &text);
    // A "错误" box that does not block: saves still running go on behind it.
    // While one is up, further messages are added to it (one box at a time).
    void showErrorMessage(const QString &text);
    // Lets every running save end and handles its outcome now.
    void waitForRunningSaves();
    void handleSaveOutcome(const QObject *worker, const SaveOutcome &outcome);

    // --- state (cammainwindow.cpp) ---
    Ui::CamMainWindow *ui;
    GetScannerInfoThread *getScannerInfoThread;
    QThread *_getScannerInfoThread;
    SetWindow *m_set;
    TitleBar *m_titleBar;
    int m_nMaxWidth;
    int m_nMaxHeight;
    int m_nCurDev;
    int m_nCurFormat;
    QStringList listDevName;
    QStringList listFormat;
    QStringList listResolution;
    bool bIsConnect;
    qreal nRotate;
    int m_nCropIndex;
    int nRightRotateIndex;
    int nLeftRotateIndex;
    bool bIsTarvoDev;
    CCfgControl m_cfg;
    QStringList listViewImagePath;
    QStringList listViewImagePDFPath;
    QString m_pdfPath;
    bool m_bIsPressSet;
    bool m_bIsSet;
    QString FilePath;
    qreal nVideoScaleSize;
    bool m_bIsShowCommit;

    // --- widgets (cammainwindow_layout.cpp) ---
    QVBoxLayout *winVLayout;
    QWidget *mainWidget;
    QHBoxLayout *mainVLayout;
    QWidget *leftWidget;
    QVBoxLayout *leftVLayout;
    QWidget *videoWidget;
    QHBoxLayout *videoHLayout;
    QWidget *leftBottomWidget;
    QVBoxLayout *leftBottomVLayout;
    QWidget *toolBarWidget;
    QHBoxLayout *toolBarHLayout;
    QWidget *rightWidget;
    QVBoxLayout *rightVLayout;
    QWidget *rightTopWidget;
    QVBoxLayout *rightTopVLayout;
    QWidget *rightBottomWidget;
    QVBoxLayout *rightBottomVLayout;
    QPushButton *scanBtn;
    QPushButton *oneTOneBtn;
    QPushButton *zoomInBtn;
    QPushButton *zoomOutBtn;
    QPushButton *rotateLeftBtn;
    QPushButton *rotateRightBtn;
    QPushButton *cutBtn;
    QPushButton *bookBtn;
    QPushButton *saveBtn;
    QPushButton *MergePDFBtn;
    QListView *imgListView;
    QStandardItemModel *listViewModel;
    QSortFilterProxyModel *listViewProxyModel;
    QMenu *listViewMenu;
    QWidget *maskWidget;
    QLabel *maskLabel;

    // --- preview (cammainwindow_preview.cpp) ---
    void onFrameArrived();
    QAtomicInt m_nRepaintPending{0}; // 1 while a repaint request is queued
    int m_nDrawnWidth = -1;          // frame width after rotation, as last painted
    // A camera that stops sending (silent, unplugged) must not leave a frozen
    // picture that looks live: after a few quiet seconds the view goes grey.
    QTimer *m_pFrameWatch = nullptr;
    long m_nFramesSeen = -1;
    int m_nQuietSeconds = 0;

    // --- scan (cammainwindow_scan.cpp) ---
    // Every save still running, each stopped when its own worker ends. Its
    // destructor lets running saves finish, so closing the window loses no page.
    SaveThreadSet m_saveThreads;
    // For each running save: its row (removed again if the save fails) and
    // the folder the settings file names (the merge folder once one is written).
    struct PendingSave {
        QPersistentModelIndex row;
        QString settingsFolder;
    };
    QHash<const QObject *, PendingSave> m_pendingSaves;
    QPointer<QMessageBox> m_errorBox;

    // --- settings (cammainwindow_settings.cpp) ---
    // Owns the window m_set points at. A replaced window goes by deleteLater
    // (it may be inside one of its own slots); the last one goes with us.
    struct SetWindowOwner {
        SetWindow *window = nullptr;
        void replace(SetWindow *next);
        ~SetWindowOwner();
    };
    SetWindowOwner m_setOwner;

    // --- hands-free scanning (cammainwindow_handsfree.cpp) ---
    void initHandsFree();
    bool scanOfferedNow() const;
    void watchForAutoCapture();
    void paintAutoCaptureBadge(QPainter &painter, const QRect &picture) const;
    AutoCapture m_autoCapture;
    bool m_bAutoCapture = false;
    QElapsedTimer m_watchClock;
};

#endif
