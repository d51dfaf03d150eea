#pragma once
// The main window. (Bare for now: its controls, load sequence and commands are built on top.)
#include <QMainWindow>

namespace bf::ui {

class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);

Q_SIGNALS:
    // The window has been closed for good (the modal display ends).
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace bf::ui
