#include "ui/MainWindowHost.h"

#include "ui/frmMain.h"

#include <QEventLoop>

namespace bf::ui {

struct MainWindowHost::Impl {
    explicit Impl(AppContext& context) : window(context) {}
    frmMain window;
};

MainWindowHost::MainWindowHost(AppContext& context, const QStringList& paths)
    : impl_(std::make_unique<Impl>(context))
{
    impl_->window.addWhenShown(paths);
}
MainWindowHost::~MainWindowHost() = default;

void MainWindowHost::showModal()
{
    QEventLoop loop;
    QObject::connect(&impl_->window, &frmMain::unloaded, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    impl_->window.show();
    loop.exec();
    impl_->window.hide();
}

} // namespace bf::ui
