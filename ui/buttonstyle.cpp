#include "ui/buttonstyle.h"

#include "ui/windowmetrics.h"

#include <QIcon>
#include <QPushButton>

const char *const ButtonStyle::kTitleButtonSheet =
    "QPushButton{background:rgb(54,146,238,255);border-radius:8px;}QPushButton:hover{background:rgb(0,102,206,255);}"
    "QPushButton:pressed{background:rgb(0,102,206,255);}";
// The close button turns red while pressed.
const char *const ButtonStyle::kTitleCloseSheet =
    "QPushButton{background:rgb(54,146,238,255);border-radius:8px;}QPushButton:hover{background:rgb(0,102,206,255);}"
    "QPushButton:pressed{background:rgb(255,0,0,255);}";

const char *const ButtonStyle::kToolWhiteSheet =
    "QPushButton{background-color:white;border-radius:8px;}QPushButton:hover{background:rgb(227,227,227,255);}"
    "QPushButton:pressed{background:rgb(207,207,207,255);}";
const char *const ButtonStyle::kToolGreySheet =
    "QPushButton{background:rgb(227,227,227,255);border-radius:8px;}QPushButton:hover{background:rgb(227,227,227,255);}"
    "QPushButton:pressed{background:rgb(207,207,207,255);}";
const char *const ButtonStyle::kToolSheet =
    "QPushButton{background:rgb(227,227,227,255);border-radius:8px;}QPushButton:hover{background:rgb(207,207,207,255);}"
    "QPushButton:pressed{background:rgb(170,170,170,255);}";

// The text moves 3 pixels right and down while pressed.
const char *const ButtonStyle::kTextButtonSheet =
    "QPushButton{background-color:white;border-radius:8px;}QPushButton:hover{background-color:rgb(227,227,227,255);}"
    "QPushButton:pressed{background:rgb(207,207,207,255);padding-left:3px;padding-top:3px;}";

void ButtonStyle::title(QPushButton *button, const char *iconPath, const QString &toolTip, const char *sheet)
{
    button->setFixedSize(QSize(windowmetrics::kTitleButtonSize, windowmetrics::kTitleButtonSize));
    button->setIconSize(QSize(30, 30));
    button->setIcon(QIcon(iconPath));
    button->setToolTip(toolTip);
    button->setStyleSheet(sheet);
}

void ButtonStyle::tool(QPushButton *button, const char *iconPath, const QString &toolTip, const char *sheet)
{
    button->setFixedSize(QSize(50, 50));
    button->setIconSize(QSize(20, 20));
    button->setIcon(QIcon(iconPath));
    button->setToolTip(toolTip);
    button->setStyleSheet(sheet);
}

void ButtonStyle::text(QPushButton *button, const QString &text, QSize size)
{
    button->setText(text);
    button->setFixedSize(size);
    button->setStyleSheet(kTextButtonSheet);
}

