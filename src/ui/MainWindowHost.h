#pragma once
// Shows frmMain modally for the start-up routine: returns when the window has been unloaded.
#include "startup/MainProc.h"

#include <QStringList>

namespace bf::ui {
class MainWindowHost : public MainWindowHandle {
public:
    // paths: files and folders to add once the window shows (the program's command line).
    explicit MainWindowHost(AppContext& context, const QStringList& paths = {});
    ~MainWindowHost() override;
    void showModal() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
} // namespace bf::ui
