#include "ui/errorbox.h"

#include <QCoreApplication>
#include <QDebug>

namespace {

void dress(QMessageBox &box, const QString &text)
{
    box.setStyleSheet("font:12pt '宋体'");
    box.setWindowTitle(QCoreApplication::translate("CamMainWindow", "错误"));
    box.setText(text);
    box.setIcon(QMessageBox::Critical);
    box.addButton(QCoreApplication::translate("CamMainWindow", "确定"), QMessageBox::ActionRole);
}

} // namespace

void ErrorBox::showBlocking(const QString &text)
{
    QMessageBox box;
    dress(box, text);
    box.exec();
}

void ErrorReporter::show(QWidget *parent, const QString &text)
{
    qDebug("%s", qUtf8Printable(text));
    if (m_box && m_box->isVisible()) {
        m_box->setText(m_box->text() + QLatin1Char('\n') + text);
        return;
    }
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    dress(*box, text);
    box->setWindowModality(Qt::ApplicationModal);
    m_box = box;
    box->show();
}
