#pragma once
// Shows frmMain modally for the start-up routine: returns when the window has been unloaded.
#include "startup/MainProc.h"

namespace bf::ui {
class MainWindowHost : public MainWindowHandle {
public:
    explicit MainWindowHost(AppContext& context);
    ~MainWindowHost() override;
    void showModal() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
} // namespace bf::ui
