#include "about/frmHelpKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace bf::about {

void ApplicationHelp(QWidget* fallback)
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        target = fallback;
    if (!target)
        return;
    // Posted, not sent: the key is handled once the command that queued it has returned.
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier));
}

} // namespace bf::about
