#ifndef BUTTONSTYLE_H
#define BUTTONSTYLE_H

#include <QSize>
#include <QString>

class QPushButton;

// The looks of the main window's buttons: inline style sheets and sizes.
namespace ButtonStyle {

extern const char *const kTitleButtonSheet;
extern const char *const kTitleCloseSheet;
extern const char *const kToolWhiteSheet;
extern const char *const kToolGreySheet;
extern const char *const kToolSheet;
extern const char *const kTextButtonSheet;

// A title bar button: icon, tool tip and sheet.
void title(QPushButton *button, const char *iconPath, const QString &toolTip, const char *sheet);
// A tool strip button: icon, tool tip and sheet.
void tool(QPushButton *button, const char *iconPath, const QString &toolTip, const char *sheet);
// A white text button of the given size.
void text(QPushButton *button, const QString &text, QSize size);

} // namespace ButtonStyle

#endif
