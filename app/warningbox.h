#ifndef WARNINGBOX_H
#define WARNINGBOX_H

#include <QMessageBox>

// Every notice of the window: a modal warning box with one Yes button.
inline void showWarningBox(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Yes, QMessageBox::NoButton);
}

#endif // WARNINGBOX_H
