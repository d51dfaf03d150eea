#pragma once
// The main window: menu bar, toolbar tlbMain, the task list lvwTask and the progress bar
// prgSplit, built at their stored positions; its load sequence; and every command handler, each
// trapping its own failures so that nothing escapes into the event loop.
#include "split/SplitView.h"
#include "automation/Keyring.h"
#include "startup/AppContext.h"
#include "tasklist/TaskRows.h"

#include <QIcon>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

class QAction;
class QDialog;
class QMenu;
class QProgressBar;
class QTimer;
class QToolBar;

namespace bf::ui {

class TaskListWidget;

// One picture of ilsMain.
struct ImageListEntry {
    int index;
    QString key;
    QIcon picture;
};

class frmMain : public QMainWindow, public split::SplitView {
    Q_OBJECT

public:
    // Builds the stored layout and runs Form_Load. The window works with context, which must
    // outlive it.
    explicit frmMain(AppContext& context, QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- the window's controls (the names its reports and tests use) ----
    QToolBar* tlbMain = nullptr;
    QProgressBar* prgSplit = nullptr;
    TaskListWidget* lvwTask = nullptr;
    std::vector<ImageListEntry> ilsMain;

    QMenu* mnuFile = nullptr;
    QAction* mnuAddFile = nullptr;
    QAction* mnuAddFolder = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuRemoveItem = nullptr;
    QAction* mnuClearList = nullptr;
    QMenu* mnuActions = nullptr;
    QAction* mnuSplit = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuSettings = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuApplicationHelp = nullptr;
    QAction* mnuVisitHomePage = nullptr;
    QAction* mnuSupport = nullptr;
    QAction* mnuAbout = nullptr;
    QMenu* mnuPopup = nullptr;
    QAction* mnuPopupSplit = nullptr;
    QAction* mnuPopupSep1 = nullptr;
    QAction* mnuPopupAddFile = nullptr;
    QAction* mnuPopupAddFolder = nullptr;
    QAction* mnuPopupRemoveItem = nullptr;
    QAction* mnuPopupClearList = nullptr;

    tasklist::TaskRows& rows();

    // ---- load sequence ----
    void Form_Load();
    std::int32_t SetCaption();
    std::int32_t InitImageList();
    std::int32_t InitToolbar();
    std::int32_t InitListView();

    // ---- commands ----
    void mnuAddFile_Click();
    void mnuAddFolder_Click();
    void mnuExit_Click();
    void mnuRemoveItem_Click();
    void mnuClearList_Click();
    void mnuSplit_Click();
    void mnuSettings_Click();
    void mnuApplicationHelp_Click();
    void mnuVisitHomePage_Click();
    void mnuSupport_Click();
    void mnuAbout_Click();
    void mnuPopupSplit_Click();
    void mnuPopupAddFile_Click();
    void mnuPopupAddFolder_Click();
    void mnuPopupRemoveItem_Click();
    void mnuPopupClearList_Click();

    void tlbMain_ButtonClick(const QString& key);
    void Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    // True when the close is to be cancelled.
    bool Form_QueryUnload();
    void lvwTask_KeyDown(int keyCode, Qt::KeyboardModifiers shift);
    void lvwTask_MouseUp(Qt::MouseButton button);
    void lvwTask_OLEDragDrop(const QStringList& paths);
    // Files and folders named on the program's command line: added as a drop of them adds them,
    // once the window has been shown.
    void addWhenShown(const QStringList& paths);
    // Files and folders a second start of the program hands over: the window comes to the front
    // and adds them as a drop of them adds them, once it is free (no split running, no dialog or
    // menu open).
    void takeHandedPaths(const QStringList& paths);
    // The desktop session is ending: the exit question when the session lets us ask, then the
    // window closes so that shutdown writes the configuration back. False when the user keeps
    // the program open (the session's end is then cancelled).
    bool EndSession(bool mayAsk);

    // The command handlers reachable by name (the toolbar's keys name them).
    bool hasHandler(const QString& name) const { return handlers_.count(name) != 0; }

    // ---- what a split run shows ----
    void setCaption(const QString& caption) override;
    void setProgressVisible(bool visible) override;
    void setProgressMinimum(float value) override;
    void setProgressMaximum(float value) override;
    void setProgressValue(float value) override;
    float progressMinimum() const override { return progressMin_; }
    float progressMaximum() const override { return progressMax_; }
    float progressValue() const override { return progressValue_; }
    bool progressVisible() const override;
    void setBusyPointer(bool busy) override;
    void repaintNow() override;

    // ---- seams for tests ----
    // Shows a pop-up menu at the pointer and returns when it has closed (and the chosen
    // command has run). Default: QMenu::exec.
    std::function<void(QMenu&)> popupPresenter;
    // Shows a dialog modally. Default: QDialog::exec.
    std::function<void(QDialog&)> dialogPresenter;

Q_SIGNALS:
    // The window has been closed for good (the modal display ends).
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildMenus();
    void makeRoomForToolbar();
    void showPopup(QMenu& menu, const QPoint& at);
    void showPopup(QMenu& menu);
    // F1 in one of the window's open menus: the help at the highlighted entry's topic.
    void menuHelpKey(const QMenu& menu);
    bool isAncestorOfMenu(const QMenu& menu) const;
    void showDialog(QDialog& dialog);
    void addHandedPathsWhenFree();
    void bringToFront();

    AppContext& context_;
    // The passwords given while this window is open, for listing and splitting (memory only).
    automation::Keyring keyring_;
    std::map<QString, void (frmMain::*)()> handlers_;
    bool closeConfirmed_ = false;
    QStringList pathsToAdd_;
    QStringList handedPaths_;
    QTimer* handedPathsRetry_ = nullptr;
    bool splitting_ = false;
    float progressMin_ = 0;
    float progressMax_ = 100;
    float progressValue_ = 0;
};

} // namespace bf::ui
