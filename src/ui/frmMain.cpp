#include "ui/frmMain.h"

#include "platform/Seams.h"

#include <QCloseEvent>

namespace bf::ui {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(platform::app().title());
    resize(497, 320);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    Q_EMIT unloaded();
}

} // namespace bf::ui
