#pragma once
// The About box: name, version and icon of the program, the home-page and support links and the
// System Information button. One instance per use; the caller shows it modally.
#include "platform/Seams.h"

#include <QDialog>
#include <QLabel>
#include <functional>

class QPushButton;

namespace bf::about {

// What the two links run: the main window's Visit HomePage and Support commands, which trap
// and report their own failures.
struct AboutLinks {
    std::function<void()> visitHomePage;
    std::function<void()> support;
};

// A label that acts on a left click released over it.
class LinkLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class frmAbout : public QDialog {
public:
    // Builds and loads the box. Throws bf::Error when the load fails (AppMain.ico or hand.cur
    // missing or unreadable); no box exists then. mainCaption is the main window's caption.
    frmAbout(const platform::Seams& seams, const QString& mainCaption, AboutLinks links, QWidget* parent = nullptr);

    // The box's controls (the names its tests use).
    QPushButton* cmdOK = nullptr;
    QLabel* picIcon = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    LinkLabel* lblVisitHomePage = nullptr;
    LinkLabel* lblTechnicalSupport = nullptr;

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void lblVisitHomePage_Click();
    void lblTechnicalSupport_Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load(const QString& mainCaption);
    void SetLinkStyle(QLabel* label);
    QRect pixels(int left, int top, int width, int height) const;

    const platform::Seams& seams_;
    AboutLinks links_;
};

} // namespace bf::about
