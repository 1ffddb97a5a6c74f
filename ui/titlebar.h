#ifndef TITLEBAR_H
#define TITLEBAR_H

#include <QColor>
#include <QLabel>
#include <QPoint>
#include <QPushButton>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>

enum TitleButtonType {
    MIN_BUTTON = 0,
    MIN_MAX_BUTTON = 1,
    ONLY_CLOSE_BUTTON = 2
};

// The 50-pixel title bar of our frameless windows. The owning window styles
// the buttons and does the window work on the bar's signals.
class TitleBar : public QWidget
{
    Q_OBJECT

public:
    explicit TitleBar(QWidget *parent = nullptr);
    ~TitleBar() override;

    void setBackgroundColor(int r, int g, int b, bool isTransparent = false);
    void setTitleIcon(QString filePath, QSize IconSize = QSize(25, 25));
    void setTitleContent(QString titleContent, int titleFontSize = 9);
    void setTitleWidth(int width);
    void setButtonType(TitleButtonType buttonType);
    void setTitleRoll();
    void setWindowBorderWidth(int borderWidth);
    void saveRestoreInfo(const QPoint point, const QSize size);
    void getRestoreInfo(QPoint &point, QSize &size);
    void loadStyleSheet(const QString &sheetName);

    // What the bar was told and what it is doing, read-only.
    TitleButtonType buttonType() const { return m_buttonType; }
    QColor backgroundColor() const { return QColor(m_colorR, m_colorG, m_colorB); }
    bool isTransparent() const { return m_isTransparent; }
    int windowBorderWidth() const { return m_windowBorderWidth; }
    QString titleContent() const { return m_titleContent; }
    // A press on the bar is dragging its window.
    bool isDragging() const { return m_isPressed; }
    // Milliseconds between the scrolling title's steps; 0 while it stands.
    int titleRollInterval() const { return m_titleRollTimer.isActive() ? m_titleRollTimer.interval() : 0; }

    QLabel *m_pIcon;
    QLabel *m_pTitleContent;
    QPushButton *m_pButtonMin;
    QPushButton *m_pButtonRestore;
    QPushButton *m_pButtonMax;
    QPushButton *m_pButtonClose;
    QPushButton *m_pButtonSet;

signals:
    void signalButtonMinClicked();
    void signalButtonRestoreClicked();
    void signalButtonMaxClicked();
    void signalButtonCloseClicked();
    void signalButtonSetClicked();

private slots:
    void onButtonMinClicked();
    void onButtonRestoreClicked();
    void onButtonMaxClicked();
    void onButtonCloseClicked();
    void onButtonSetClicked();
    void onRollTitle();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void initControl();
    void initConnections();
    bool isShowingMaximise() const;

    int m_colorR;
    int m_colorG;
    int m_colorB;
    QPoint m_restorePos;
    QSize m_restoreSize;
    bool m_isPressed;
    QPoint m_startMovePos;
    QTimer m_titleRollTimer;
    QString m_titleContent;
    TitleButtonType m_buttonType;
    int m_windowBorderWidth;
    bool m_isTransparent;
};

#endif
