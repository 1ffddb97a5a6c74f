#ifndef SETWINDOW_H
#define SETWINDOW_H

#include "settings/ccfgcontrol.h"
#include "core/settings.h"

#include <QColor>
#include <QComboBox>
#include <QHBoxLayout>
#include <QList>
#include <QMainWindow>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

class TitleBar;

QT_BEGIN_NAMESPACE
namespace Ui {
class SetWindow;
}
QT_END_NAMESPACE

// The settings window: folder, format, device, resolution and document
// optimisation. A new one is made for every opening; a save writes the store
// and hands the choices on by a signal.
class SetWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit SetWindow(QWidget *parent = nullptr);
    ~SetWindow() override;

    void InitUI();
    void InitTitleBar();
    void InitUIData(int nComboxType, QStringList listDevData, QStringList listResolutionData,
                    QStringList listFormatList);
    void deviceParUIDev(QString titleName, QString parName, int parIndex, int parType, QStringList parValue,
                        bool isAddTitleTopMargin = false, bool isLastPar = false);
    void deviceParUIFormat(QString titleName, QString parName, int parIndex, int parType, QStringList parValue,
                           bool isAddTitleTopMargin = false, bool isLastPar = false);
    void deviceParUIResolution(QString titleName, QString parName, int parIndex, int parType,
                               QStringList parValue, bool isAddTitleTopMargin = false, bool isLastPar = false);
    void imgEditParUI();
    void setWidgetBackgroundColor(QWidget *parwidget, QColor color);

    // The choices as edited in this window; what a save writes and hands on.
    const Settings &edited() const { return m_edit; }
    // The last action was a save (a close makes it false again).
    bool isSaved() const { return m_bIsSaveData; }
    // The device or the resolution was changed by the user in this window.
    bool captureChanged() const { return m_bIsChangeImageFrame; }
    // The choice of a row added below the image algorithm, for its key; null
    // when the window has no such row.
    QComboBox *extraChoice(Settings::Key key) const;
    // What the folder dialog's answer does; an empty answer is a cancel.
    void applyChosenFolder(const QString &chosen);

    Ui::SetWindow *ui;
    TitleBar *m_title;
    QHBoxLayout *winLayout;
    QWidget *mainWidget;
    QVBoxLayout *mainVLayout;
    QComboBox *brightBalanceCKB;
    QPushButton *saveBtn;
    QComboBox *ptypeCbbDev;
    QComboBox *ptypeCbbResolution;
    QComboBox *ptypeCbbFormat;
    QTextEdit *ptypeTxt;
    QPushButton *FileBtn;
    CCfgControl m_cfgSet;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_bIsSaveData = false;
    bool m_bIsChangeImageFrame = false;
    Settings m_edit;
    // The settings file as InitUIData found it; the rows are preset from it.
    Settings::Stored m_stored;

    // A blocking box for a save the file did not take (ui/setwindowframe.cpp).
    void showSaveFailure(const QString &text);
    void addTitle(const QString &titleName, bool isAddTitleTopMargin);
    QHBoxLayout *addParRow(const QString &parName);
    QComboBox *newChoice(const QStringList &items);

    // Rows below the image algorithm, each the item index of one key of the
    // settings table that is not one of the twelve.
    struct ExtraChoice
    {
        Settings::Key key;
        QComboBox *box;
    };
    QList<ExtraChoice> m_extraChoices;
    void addExtraChoiceRow(const QString &parName, const QStringList &items, Settings::Key key);
    bool saveExtraChoices(Settings &record); // false when a choice could not be kept in the file

signals:
    // A save: the choices as written to the store, and whether the device or
    // the resolution changed in this window (the capture then restarts).
    void settingsSaved(const Settings &settings, bool captureChanged);
    // Closed by its close button: nothing saved.
    void closedUnsaved();

private slots:
    void onButtonCloseClicked();
    void on_FileButton_clicked();
    void comboboxCurrentIndexChanged(int index);
    void comboboxCurrentIndexChangedResolution(int index);
    void onBtnSaveClicked();
};

#endif
