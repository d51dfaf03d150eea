#include "ui/frmMain.h"

#include "about/HelpTopics.h"
#include "about/LinkCommands.h"
#include "about/frmAbout.h"
#include "about/frmHelpKeys.h"
#include "split/SplitRun.h"
#include "startup/AppVersion.h"
#include "core/Error.h"
#include "startup/ErrorReports.h"
#include "startup/clsSetting.h"
#include "tasklist/TaskListCommands.h"
#include "ui/TaskListWidget.h"
#include "ui/Twips.h"
#include "ui/PasswordDialog.h"
#include "ui/frmOptions.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <cmath>
#include <utility>

namespace bf::ui {

namespace {

// The stored layout, in twips.
constexpr double kClientWidth = 7455;
constexpr double kClientHeight = 4800;

struct ImageFile {
    int index;
    const char* key;
    const char* file;
};
constexpr ImageFile kImages[] = {
    {1, "Add", "\\ICON\\Add.ICO"},        {2, "Remove", "\\ICON\\Remove.ico"},
    {3, "Split", "\\ICON\\Split.ico"},    {4, "Option", "\\ICON\\Option.ico"},
    {5, "Help", "\\ICON\\Help.ico"},      {6, "HomePage", "\\ICON\\HomePage.Ico"},
    {7, "Exit", "\\ICON\\Exit.ico"},
};

struct ToolbarButton {
    const char* key;
    const char* caption;
    int image; // 0: separator
};
constexpr ToolbarButton kButtons[] = {
    {"mnuFile", "Add file", 1},
    {"mnuEdit", "Remove ", 2},
    {"", "", 0},
    {"mnuSplit_Click", "Split", 3},
    {"", "", 0},
    {"mnuSettings_Click", "Option", 4},
    {"mnuApplicationHelp_Click", "Help", 5},
    {"mnuVisitHomePage_Click", "Homepage", 6},
    {"", "", 0},
    {"mnuExit_Click", "Exit", 7},
};

// A picture file beside the program; a missing file fails with error 53, one that holds no
// picture with error 481.
QIcon loadPicture(const platform::Seams& seams, const QString& relative)
{
    const QString path = platform::resolveBesideProgram(seams, relative);
    if (!QFileInfo(path).isFile())
        throw Error(err::FileNotFound, QStringLiteral("File not found: ") + path);
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull())
        throw Error(err::InvalidPicture, QStringLiteral("Invalid picture: ") + path + QStringLiteral(" (") +
                                         reader.errorString() + ')');
    QIcon icon(path);
    if (icon.isNull())
        icon = QIcon(QPixmap::fromImage(image));
    return icon;
}

void showConfiguredMessage(const AppContext& context, const QString& key)
{
    context.seams.msgBox(context.configured(key));
}

QAction* menuItem(QMenu* menu, const char* name, const char* caption, int helpContext)
{
    QAction* action = menu->addAction(QString::fromLatin1(caption));
    action->setObjectName(QString::fromLatin1(name));
    if (helpContext > 0)
        action->setProperty("helpContextID", helpContext);
    return action;
}

QMenu* topMenu(QMenuBar* bar, const char* name, const char* caption, int helpContext)
{
    QMenu* menu = bar->addMenu(QString::fromLatin1(caption));
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setProperty("helpContextID", helpContext);
    return menu;
}

// Hidden entries come back however the pop-up ends, a failing command included.
class ShowAgain {
public:
    explicit ShowAgain(std::initializer_list<QAction*> actions) : actions_(actions)
    {
        for (QAction* a : actions_)
            a->setVisible(false);
    }
    ~ShowAgain()
    {
        for (QAction* a : actions_)
            a->setVisible(true);
    }
    ShowAgain(const ShowAgain&) = delete;
    ShowAgain& operator=(const ShowAgain&) = delete;

private:
    std::vector<QAction*> actions_;
};

} // namespace

frmMain::frmMain(AppContext& context, QWidget* parent) : QMainWindow(parent), context_(context)
{
    setObjectName(QStringLiteral("frmMain"));
    handlers_ = {
        {QStringLiteral("mnuAddFile_Click"), &frmMain::mnuAddFile_Click},
        {QStringLiteral("mnuAddFolder_Click"), &frmMain::mnuAddFolder_Click},
        {QStringLiteral("mnuExit_Click"), &frmMain::mnuExit_Click},
        {QStringLiteral("mnuRemoveItem_Click"), &frmMain::mnuRemoveItem_Click},
        {QStringLiteral("mnuClearList_Click"), &frmMain::mnuClearList_Click},
        {QStringLiteral("mnuSplit_Click"), &frmMain::mnuSplit_Click},
        {QStringLiteral("mnuSettings_Click"), &frmMain::mnuSettings_Click},
        {QStringLiteral("mnuApplicationHelp_Click"), &frmMain::mnuApplicationHelp_Click},
        {QStringLiteral("mnuVisitHomePage_Click"), &frmMain::mnuVisitHomePage_Click},
        {QStringLiteral("mnuSupport_Click"), &frmMain::mnuSupport_Click},
        {QStringLiteral("mnuAbout_Click"), &frmMain::mnuAbout_Click},
        {QStringLiteral("mnuPopupSplit_Click"), &frmMain::mnuPopupSplit_Click},
        {QStringLiteral("mnuPopupAddFile_Click"), &frmMain::mnuPopupAddFile_Click},
        {QStringLiteral("mnuPopupAddFolder_Click"), &frmMain::mnuPopupAddFolder_Click},
        {QStringLiteral("mnuPopupRemoveItem_Click"), &frmMain::mnuPopupRemoveItem_Click},
        {QStringLiteral("mnuPopupClearList_Click"), &frmMain::mnuPopupClearList_Click},
    };
    buildLayout();
    buildMenus();
    keyring_.setAsker(passwordDialogAsker(this));
    context_.keyring = &keyring_;

    // Key preview: F1 reaches the window whichever of its controls has the focus.
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        trapProcedure(context_.seams, QStringLiteral("Form_QueryUnload"), [&] {
            const bool mayAsk = manager.allowsInteraction();
            const bool ends = EndSession(mayAsk);
            if (mayAsk)
                manager.release();
            if (!ends)
                manager.cancel();
        });
    });

    Form_Load();

    handedPathsRetry_ = new QTimer(this);
    handedPathsRetry_->setSingleShot(true);
    handedPathsRetry_->setInterval(200);
    connect(handedPathsRetry_, &QTimer::timeout, this, &frmMain::addHandedPathsWhenFree);
    if (platform::InstanceLockSeam* lock = context_.seams.instanceLock)
        lock->receiveHandedPaths([this](const QStringList& paths) { takeHandedPaths(paths); });
}

frmMain::~frmMain()
{
    context_.keyring = nullptr;
    if (platform::InstanceLockSeam* lock = context_.seams.instanceLock)
        lock->receiveHandedPaths({});
    qApp->removeEventFilter(this);
}

void frmMain::buildLayout()
{
    // Fixed single border, minimize but no maximize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmMainClient"));
    client->setFixedSize(twipsToPxX(*this, kClientWidth), twipsToPxY(*this, kClientHeight));
    setCentralWidget(client);

    // Stored order: the toolbar across the top, the bar near the bottom, the list in between.
    tlbMain = new QToolBar(client);
    tlbMain->setObjectName(QStringLiteral("tlbMain"));
    tlbMain->setAccessibleName(QStringLiteral("Toolbar"));
    tlbMain->setMovable(false);
    tlbMain->setFloatable(false);
    tlbMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tlbMain->setIconSize(QSize(32, 32));
    tlbMain->setGeometry(twipsRect(*this, 0, 0, kClientWidth, 570));
    connect(tlbMain, &QToolBar::actionTriggered, this, [this](QAction* action) {
        tlbMain_ButtonClick(action->property("key").toString());
    });

    prgSplit = new QProgressBar(client);
    prgSplit->setObjectName(QStringLiteral("prgSplit"));
    prgSplit->setAccessibleName(QStringLiteral("Split progress"));
    prgSplit->setGeometry(twipsRect(*this, 0, 4320, kClientWidth, 255));
    prgSplit->setRange(0, 100);
    prgSplit->setValue(0);
    prgSplit->setTextVisible(false);

    lvwTask = new TaskListWidget(client);
    lvwTask->setGeometry(twipsRect(*this, 240, 840, 6975, 3255));
    lvwTask->layoutWidthTwips = 6975;
    connect(lvwTask, &TaskListWidget::keyDown, this, &frmMain::lvwTask_KeyDown);
    connect(lvwTask, &TaskListWidget::mouseUp, this, &frmMain::lvwTask_MouseUp);
    // Queued: the drop is taken and ended first, so the program dragging never waits for the
    // listing or for a report box it shows.
    connect(lvwTask, &TaskListWidget::pathsDropped, this, &frmMain::lvwTask_OLEDragDrop, Qt::QueuedConnection);

    // Tab order as stored: the list, the bar, the toolbar.
    setTabOrder(lvwTask, prgSplit);
    setTabOrder(prgSplit, tlbMain);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    mnuFile = topMenu(bar, "mnuFile", "&File", 1);
    mnuAddFile = menuItem(mnuFile, "mnuAddFile", "Add File", 6);
    mnuAddFolder = menuItem(mnuFile, "mnuAddFolder", "Add Folder", 7);
    mnuSep1 = mnuFile->addSeparator();
    mnuSep1->setObjectName(QStringLiteral("mnuSep1"));
    mnuExit = menuItem(mnuFile, "mnuExit", "Exit", 8);

    mnuEdit = topMenu(bar, "mnuEdit", "&Edit", 2);
    mnuRemoveItem = menuItem(mnuEdit, "mnuRemoveItem", "Remove Item", 9);
    mnuClearList = menuItem(mnuEdit, "mnuClearList", "Clear List", 10);

    mnuActions = topMenu(bar, "mnuActions", "&Actions", 3);
    mnuSplit = menuItem(mnuActions, "mnuSplit", "Split", 11);

    mnuOptions = topMenu(bar, "mnuOptions", "&Options", 4);
    mnuSettings = menuItem(mnuOptions, "mnuSettings", "Settings", 12);

    mnuHelp = topMenu(bar, "mnuHelp", "&Help", 5);
    mnuApplicationHelp = menuItem(mnuHelp, "mnuApplicationHelp", "Application Help", 13);
    mnuVisitHomePage = menuItem(mnuHelp, "mnuVisitHomePage", "Visit HomePage", 14);
    mnuSupport = menuItem(mnuHelp, "mnuSupport", "Support", 15);
    mnuAbout = menuItem(mnuHelp, "mnuAbout", "About", 18);

    // The task list's context menu: a menu of the window that the menu bar does not show.
    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    mnuPopup->menuAction()->setObjectName(QStringLiteral("mnuPopup"));
    mnuPopupSplit = menuItem(mnuPopup, "mnuPopupSplit", "Split", 0);
    mnuPopupSep1 = mnuPopup->addSeparator();
    mnuPopupSep1->setObjectName(QStringLiteral("mnuPopupSep1"));
    mnuPopupAddFile = menuItem(mnuPopup, "mnuPopupAddFile", "Add File", 0);
    mnuPopupAddFolder = menuItem(mnuPopup, "mnuPopupAddFolder", "Add Folder", 0);
    mnuPopupRemoveItem = menuItem(mnuPopup, "mnuPopupRemoveItem", "Remove Item", 0);
    mnuPopupClearList = menuItem(mnuPopup, "mnuPopupClearList", "Clear List", 0);

    const std::pair<QAction*, void (frmMain::*)()> doors[] = {
        {mnuAddFile, &frmMain::mnuAddFile_Click},
        {mnuAddFolder, &frmMain::mnuAddFolder_Click},
        {mnuExit, &frmMain::mnuExit_Click},
        {mnuRemoveItem, &frmMain::mnuRemoveItem_Click},
        {mnuClearList, &frmMain::mnuClearList_Click},
        {mnuSplit, &frmMain::mnuSplit_Click},
        {mnuSettings, &frmMain::mnuSettings_Click},
        {mnuApplicationHelp, &frmMain::mnuApplicationHelp_Click},
        {mnuVisitHomePage, &frmMain::mnuVisitHomePage_Click},
        {mnuSupport, &frmMain::mnuSupport_Click},
        {mnuAbout, &frmMain::mnuAbout_Click},
        {mnuPopupSplit, &frmMain::mnuPopupSplit_Click},
        {mnuPopupAddFile, &frmMain::mnuPopupAddFile_Click},
        {mnuPopupAddFolder, &frmMain::mnuPopupAddFolder_Click},
        {mnuPopupRemoveItem, &frmMain::mnuPopupRemoveItem_Click},
        {mnuPopupClearList, &frmMain::mnuPopupClearList_Click},
    };
    for (const auto& [action, handler] : doors)
        connect(action, &QAction::triggered, this, handler);
}

tasklist::TaskRows& frmMain::rows() { return lvwTask->rows(); }

// ---- load sequence ---------------------------------------------------------------------------

void frmMain::Form_Load()
{
    trapProcedure(context_.seams, QStringLiteral("Form_Load"), [&] {
        context_.loadRoutineStarts(QStringLiteral("Form_Load"));
        setWindowIcon(loadPicture(context_.seams, QStringLiteral("\\Icon\\frmMain.ico")));
        if (SetCaption() != 1) {
            showConfiguredMessage(context_, QStringLiteral("ErrCantSetfrmMainCaption"));
            return;
        }
        if (InitImageList() != 1) {
            showConfiguredMessage(context_, QStringLiteral("ErrCantInitImageList"));
            return;
        }
        if (InitToolbar() != 1) {
            showConfiguredMessage(context_, QStringLiteral("ErrCantInitToolbar"));
            return;
        }
        if (InitListView() != 1) {
            showConfiguredMessage(context_, QStringLiteral("ErrCantInitListView"));
            return;
        }
        prgSplit->setVisible(false);
    });
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
}

std::int32_t frmMain::SetCaption()
{
    std::int32_t result = 0;
    trapProcedure(context_.seams, QStringLiteral("SetCaption"), [&] {
        context_.loadRoutineStarts(QStringLiteral("SetCaption"));
        QString caption;
        if (context_.store().GetSetting(QStringLiteral("frmMainCaption"), caption) == clsSetting::kKeyMissing) {
            result = 2;
            return;
        }
        setWindowTitle(caption + GetVersionString(context_.seams));
        result = 1;
    });
    return result;
}

std::int32_t frmMain::InitImageList()
{
    std::int32_t result = 0;
    trapProcedure(context_.seams, QStringLiteral("InitImageList"), [&] {
        context_.loadRoutineStarts(QStringLiteral("InitImageList"));
        for (const ImageFile& file : kImages)
            ilsMain.push_back({file.index, QString::fromLatin1(file.key), loadPicture(context_.seams, QString::fromLatin1(file.file))});
        result = 1;
    });
    return result;
}

std::int32_t frmMain::InitToolbar()
{
    std::int32_t result = 0;
    trapProcedure(context_.seams, QStringLiteral("InitToolbar"), [&] {
        context_.loadRoutineStarts(QStringLiteral("InitToolbar"));
        int index = 0;
        for (const ToolbarButton& b : kButtons) {
            ++index;
            QAction* action = nullptr;
            if (b.image == 0) {
                action = tlbMain->addSeparator();
            } else {
                const auto image = std::find_if(ilsMain.begin(), ilsMain.end(),
                                                [&](const ImageListEntry& e) { return e.index == b.image; });
                if (image == ilsMain.end())
                    bf::raise(err::SubscriptOutOfRange);
                action = tlbMain->addAction(image->picture, QString::fromLatin1(b.caption));
                // The caption also names the button for screen readers ("Remove " keeps its blank
                // on screen; the spoken name does not need it).
                if (QWidget* button = tlbMain->widgetForAction(action))
                    button->setAccessibleName(QString::fromLatin1(b.caption).trimmed());
            }
            action->setProperty("key", QString::fromLatin1(b.key));
            action->setProperty("index", index);
            action->setObjectName(QStringLiteral("tlbMainButton%1").arg(index));
        }
        makeRoomForToolbar();
        result = 1;
    });
    return result;
}

void frmMain::makeRoomForToolbar()
{
    // The bar keeps the stored top and width and takes the height its buttons need, so that
    // their captions are never cut. What it needs beyond the stored height moves the list and
    // the progress bar down and makes the window that much taller: the gap under the bar stays.
    const int needed = std::max(tlbMain->sizeHint().height(), tlbMain->height());
    const int extra = std::max(0, needed - tlbMain->height());
    tlbMain->resize(tlbMain->width(), needed);
    if (extra == 0)
        return;
    for (QWidget* below : {static_cast<QWidget*>(lvwTask), static_cast<QWidget*>(prgSplit)})
        below->move(below->x(), below->y() + extra);
    QWidget* client = centralWidget();
    client->setFixedSize(client->width(), client->height() + extra);
}

std::int32_t frmMain::InitListView()
{
    context_.loadRoutineStarts(QStringLiteral("InitListView"));
    return lvwTask->InitListView(context_.seams);
}

// ---- commands --------------------------------------------------------------------------------

void frmMain::mnuAddFile_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuAddFile_Click"), [&] { tasklist::AddFile(context_, rows()); });
}

void frmMain::mnuAddFolder_Click()
{
    try {
        tasklist::AddFolder(context_, rows());
    } catch (...) {
        try {
            showFolderError(context_.seams, QString());
        } catch (...) {
        }
    }
}

void frmMain::mnuPopupAddFile_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuPopupAddFile_Click"), [&] { mnuAddFile_Click(); });
}

void frmMain::mnuPopupAddFolder_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuPopupAddFolder_Click"), [&] { mnuAddFolder_Click(); });
}

void frmMain::mnuRemoveItem_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuRemoveItem_Click"), [&] { tasklist::RemoveItem(rows()); });
}

void frmMain::mnuClearList_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuClearList_Click"), [&] { tasklist::ClearList(context_.seams, rows()); });
}

void frmMain::mnuPopupRemoveItem_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuPopupRemoveItem_Click"), [&] { mnuRemoveItem_Click(); });
}

void frmMain::mnuPopupClearList_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuPopupClearList_Click"), [&] { mnuClearList_Click(); });
}

void frmMain::mnuSplit_Click()
{
    const QScopedValueRollback<bool> running(splitting_, true);
    trapProcedure(context_.seams, QStringLiteral("mnuSplit_Click"), [&] { split::RunSplit(context_, rows(), *this); });
}

void frmMain::mnuPopupSplit_Click()
{
    // The popup's Split runs the Split command, whose reports name "mnuSplit_Click"; this
    // handler's own name appears only when the command cannot be started.
    trapProcedure(context_.seams, QStringLiteral("mnuPopupSplit_Click"), [&] { mnuSplit_Click(); });
}

void frmMain::mnuExit_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuExit_Click"), [&] { close(); });
}

void frmMain::mnuSettings_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuSettings_Click"), [&] {
        // A fresh dialog each time, so it reads the settings again; a failing load throws
        // before anything is shown.
        frmOptions dialog(context_, nullptr, &rows());
        showDialog(dialog);
    });
}

void frmMain::mnuAbout_Click()
{
    trapProcedure(context_.seams, QStringLiteral("lmnuAbout_Click"), [&] {
        about::AboutLinks links{[this] { mnuVisitHomePage_Click(); }, [this] { mnuSupport_Click(); }};
        about::frmAbout dialog(context_.seams, windowTitle(), links);
        showDialog(dialog);
    });
}

void frmMain::mnuApplicationHelp_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuApplicationHelp_Click"), [&] { about::ApplicationHelp(this); });
}

void frmMain::mnuVisitHomePage_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuVisitHomePage_Click"), [&] { about::VisitHomePage(context_); });
}

void frmMain::mnuSupport_Click()
{
    trapProcedure(context_.seams, QStringLiteral("mnuSupport_Click"), [&] { about::Support(context_); });
}

void frmMain::tlbMain_ButtonClick(const QString& key)
{
    trapProcedure(context_.seams, QStringLiteral("tlbMain_ButtonClick"), [&] {
        if (key == QLatin1String("mnuFile")) {
            // The File menu without Exit and its separator; both return however it ends.
            ShowAgain restore{mnuExit, mnuSep1};
            showPopup(*mnuFile);
            return;
        }
        if (key == QLatin1String("mnuEdit")) {
            showPopup(*mnuEdit);
            return;
        }
        const auto handler = handlers_.find(key);
        if (handler == handlers_.end())
            throw Error(err::NotSupported, standardDescription(err::NotSupported) + QStringLiteral(": ") + key);
        (this->*(handler->second))();
    });
}

void frmMain::Form_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(shift);
    trapProcedure(context_.seams, QStringLiteral("Form_KeyDown"), [&] {
        if (keyCode == Qt::Key_F1)
            about::OpenHelp(context_.seams, QString::fromLatin1(about::kHelpStartPage));
    });
}

void frmMain::menuHelpKey(const QMenu& menu)
{
    trapProcedure(context_.seams, QStringLiteral("Form_KeyDown"), [&] {
        // The highlighted entry's topic; the start page for an entry without one.
        const QAction* entry = menu.activeAction();
        const char* page = entry ? about::HelpPageForContext(entry->property("helpContextID").toInt()) : nullptr;
        about::OpenHelp(context_.seams, QString::fromLatin1(page ? page : about::kHelpStartPage));
    });
}

bool frmMain::Form_QueryUnload()
{
    bool cancel = false;
    trapProcedure(context_.seams, QStringLiteral("Form_QueryUnload"), [&] { cancel = !tasklist::ConfirmExit(context_.seams, rows()); });
    return cancel;
}

void frmMain::lvwTask_KeyDown(int keyCode, Qt::KeyboardModifiers shift)
{
    trapProcedure(context_.seams, QStringLiteral("lvwTask_KeyDown"), [&] {
        if (keyCode == Qt::Key_Delete)
            mnuRemoveItem_Click();
        // The keyboard's way to the list's pop-up menu, shown at the current row.
        if (keyCode == Qt::Key_Menu || (keyCode == Qt::Key_F10 && shift == Qt::ShiftModifier)) {
            const QRect row = lvwTask->visualRect(lvwTask->currentIndex());
            const QPoint at = row.isValid() ? row.bottomLeft() : QPoint(0, 0);
            showPopup(*mnuPopup, lvwTask->viewport()->mapToGlobal(at));
        }
    });
}

void frmMain::lvwTask_MouseUp(Qt::MouseButton button)
{
    trapProcedure(context_.seams, QStringLiteral("lvwTask_MouseUp"), [&] {
        if (button == Qt::RightButton)
            showPopup(*mnuPopup);
    });
}

void frmMain::lvwTask_OLEDragDrop(const QStringList& paths)
{
    trapProcedure(context_.seams, QStringLiteral("lvwTask_OLEDragDrop"), [&] { tasklist::AddDropped(context_, rows(), paths); });
}

void frmMain::addWhenShown(const QStringList& paths) { pathsToAdd_ = paths; }

void frmMain::takeHandedPaths(const QStringList& paths)
{
    bringToFront();
    handedPaths_ << paths;
    addHandedPathsWhenFree();
}

void frmMain::addHandedPathsWhenFree()
{
    if (handedPaths_.isEmpty())
        return;
    // A run's repaints and a dialog's or menu's own event loop let the paths arrive in the middle
    // of a command: the list changes only between commands, as under a drop.
    if (!isVisible() || splitting_ || QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        handedPathsRetry_->start();
        return;
    }
    lvwTask_OLEDragDrop(std::exchange(handedPaths_, {}));
}

void frmMain::bringToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void frmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (pathsToAdd_.isEmpty())
        return;
    // Queued, so that the window is on the screen while the workbooks are read.
    QTimer::singleShot(0, this, [this, paths = std::exchange(pathsToAdd_, {})] { lvwTask_OLEDragDrop(paths); });
}

bool frmMain::EndSession(bool mayAsk)
{
    if (mayAsk && Form_QueryUnload())
        return false;
    // Without this the session would end the process before shutdown stores the settings.
    closeConfirmed_ = true;
    close();
    return true;
}

void frmMain::showPopup(QMenu& menu) { showPopup(menu, QCursor::pos()); }

void frmMain::showPopup(QMenu& menu, const QPoint& at)
{
    if (popupPresenter)
        popupPresenter(menu);
    else
        menu.exec(at);
}

void frmMain::showDialog(QDialog& dialog)
{
    if (dialogPresenter)
        dialogPresenter(dialog);
    else
        dialog.exec();
}

// ---- closing and keys ------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!closeConfirmed_ && Form_QueryUnload()) {
        event->ignore();
        return;
    }
    closeConfirmed_ = false;
    event->accept();
    Q_EMIT unloaded();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (!watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (widget->window() == this) {
            Form_KeyDown(key->key(), key->modifiers());
            // Taken here: none of the window's controls has an F1 behaviour of its own, and a
            // key a control ignores would otherwise reach this filter again from its parent.
            return true;
        }
        if (auto* menu = qobject_cast<QMenu*>(widget); menu && isAncestorOfMenu(*menu)) {
            menuHelpKey(*menu);
            return true;
        }
    }
    // The toolbar's buttons show their captions already: no tool tip repeats them.
    if (event->type() == QEvent::ToolTip && widget->parentWidget() == tlbMain)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool frmMain::isAncestorOfMenu(const QMenu& menu) const
{
    for (const QObject* o = &menu; o; o = o->parent())
        if (o == this)
            return true;
    return false;
}

// ---- what a split run shows ------------------------------------------------------------------

void frmMain::setCaption(const QString& caption) { setWindowTitle(caption); }

void frmMain::setProgressVisible(bool visible) { prgSplit->setVisible(visible); }

namespace {
int barUnits(float value)
{
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(std::lround(std::clamp(value, -2.0e9f, 2.0e9f)));
}
} // namespace

void frmMain::setProgressMinimum(float value)
{
    progressMin_ = value;
    prgSplit->setMinimum(barUnits(value));
}

void frmMain::setProgressMaximum(float value)
{
    progressMax_ = value;
    prgSplit->setMaximum(barUnits(value));
}

void frmMain::setProgressValue(float value)
{
    progressValue_ = value;
    prgSplit->setValue(barUnits(value));
}

bool frmMain::progressVisible() const { return !prgSplit->isHidden(); }

void frmMain::setBusyPointer(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void frmMain::repaintNow()
{
    prgSplit->repaint();
    lvwTask->viewport()->repaint();
    // Paint and pointer updates only: no click or key is taken while the run goes on.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace bf::ui
