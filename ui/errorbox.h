#ifndef ERRORBOX_H
#define ERRORBOX_H

#include <QMessageBox>
#include <QPointer>
#include <QString>

class QWidget;

// The program's "错误" boxes: the camera's at start-up, which blocks, and
// the one for failures while working, which does not.
namespace ErrorBox {

// A modal box without parent that returns when the user has answered it.
void showBlocking(const QString &text);

} // namespace ErrorBox

// One non-blocking box at a time: saves still running go on behind it, and
// further messages while it is up are added to it, one line each.
class ErrorReporter
{
public:
    void show(QWidget *parent, const QString &text);

private:
    QPointer<QMessageBox> m_box;
};

#endif
