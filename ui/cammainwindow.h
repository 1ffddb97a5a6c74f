#ifndef CAMMAINWINDOW_H
#define CAMMAINWINDOW_H

#include "core/autocapturewatch.h"
#include "core/autoscantally.h"
#include "core/capturesession.h"
#include "core/rotationcounter.h"
#include "settings/ccfgcontrol.h"
#include "ui/errorbox.h"

#include <optional>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QMenu>
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
#include <QVBoxLayout>
#include <QWidget>

class SetWindow;
class TileReorder;
class TitleBar;
class QPainter;

QT_BEGIN_NAMESPACE
namespace Ui {
class CamMainWindow;
}
QT_END_NAMESPACE

class CamMainWindow;

// Process-wide: the one main window (the frame and its lock are the session's).
extern CamMainWindow *g_Camself;

// The main window paints, asks and shows: the capture session owns the camera,
// the scans and the stored pages and tells the window what happened. Member
// functions are spread over one source file per concern.
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

    // The camera, the scans and this run's stored pages.
    CaptureSession &session() { return m_session; }
    // The view state the next scan takes along, read-only.
    qreal rotation() const { return nRotate; }
    int rotateLeftClicks() const { return nLeftRotateIndex; }
    int rotateRightClicks() const { return nRightRotateIndex; }
    int cropCounter() const { return m_nCropIndex; }
    qreal previewScale() const { return nVideoScaleSize; }
    bool isUploadMode() const { return m_bIsShowCommit; }
    bool autoCaptureOn() const { return m_autoCapture.isOn(); }
    bool bookModeOn() { return m_session.bookMode().isOn(); }
    // The settings window of the last opening, or null.
    SetWindow *settingsWindow() const { return m_set; }
    // What the last settings window saved, while that counts; null otherwise.
    const Settings *savedSettings() const { return m_savedSettings ? &*m_savedSettings : nullptr; }

signals:
    void commitend();

private slots:
    void slotScanBtnClicked();
    void slotOneTOneBtnClicked();
    void slotZoomInBtnClicked();
    void slotZoomOutBtnClicked();
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
    void slotFocusedButtonKeyPressed(QPushButton *button);
    void slotAutoCaptureKeyPressed();
    void slotBookModeKeyPressed();
    void slotScanTakenByHand();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void initUI();
    void initConnection();
    QStringList getListSelectedFile();
    void showCameraErrorBox(const QString &text);
    // A "错误" box that does not block: saves still running go on behind it.
    // While one is up, further messages are added to it (one box at a time).
    void showErrorMessage(const QString &text);
    void showCropIndicator();
    void turnPreview(void (*turn)(RotationCounter &));
    void onFrameArrived();
    void onSaveFinished(int row, const SaveOutcome &outcome);
    // Tiles follow the pages' order (cammainwindow_list.cpp).
    void initTileReorder();
    void onPageMoved(int from, int to);
    void onSettingsSaved(const Settings &settings, bool captureChanged);
    void onSettingsClosed();

    // --- state (cammainwindow.cpp); the camera and the stored pages are the session's ---
    Ui::CamMainWindow *ui;
    CaptureSession m_session;
    SetWindow *m_set;
    TitleBar *m_titleBar;
    qreal nRotate;
    int m_nCropIndex;
    int nRightRotateIndex;
    int nLeftRotateIndex;
    bool m_bIsPressSet;
    bool m_bIsSet;
    qreal nVideoScaleSize;
    bool m_bIsShowCommit;
    int m_nDrawnWidth = -1; // frame width after rotation, as last painted
    // The choices of the last settings window while its last action was a
    // save; scans and restarts take them instead of the settings file.
    std::optional<Settings> m_savedSettings;
    ErrorReporter m_errors;

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
    TileReorder *m_tileReorder = nullptr;
    QWidget *maskWidget;
    QLabel *maskLabel;

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
    void paintPictureNotices(QPainter &painter, const QRect &visible);
    AutoCaptureWatch m_autoCapture;
    AutoScanTally m_autoScans;
};

#endif
