#include "about/frmAbout.h"

#include "about/AboutBox.h"
#include "about/SysInfo.h"
#include "core/Error.h"
#include "startup/ErrorReports.h"
#include "ui/Twips.h"

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace bf::about {

namespace {
constexpr int kIconTwips = 480; // an icon's own size, 32 pixels on a 96 dpi screen

QColor rgb(std::uint32_t v) { return QColor(int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)); }

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    label->setPalette(pal);
}
} // namespace

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

frmAbout::frmAbout(const platform::Seams& seams, const QString& mainCaption, AboutLinks links, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      seams_(seams), links_(std::move(links))
{
    setModal(true);
    setFixedSize(pixels(0, 0, kClientWidth, kClientHeight).size());

    // Created in tab order: OK first, so it has the focus when the box opens.
    cmdOK = new QPushButton(QString::fromLatin1(kOkText), this);
    cmdOK->setGeometry(pixels(kCmdOK.left, kCmdOK.top, kCmdOK.width, kCmdOK.height));
    cmdOK->setDefault(true);
    picIcon = new QLabel(this);
    picIcon->setGeometry(pixels(kPicIcon.left, kPicIcon.top, kPicIcon.width, kPicIcon.height));
    cmdSysInfo = new QPushButton(QString::fromLatin1(kSysInfoButtonText), this);
    cmdSysInfo->setGeometry(pixels(kCmdSysInfo.left, kCmdSysInfo.top, kCmdSysInfo.width, kCmdSysInfo.height));
    lblDisclaimer = new QLabel(QStringLiteral("Warning: ..."), this);
    lblDisclaimer->setGeometry(
        pixels(kLblDisclaimer.left, kLblDisclaimer.top, kLblDisclaimer.width, kLblDisclaimer.height));
    lblDisclaimer->setWordWrap(true);
    lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTitle = new QLabel(QStringLiteral("Application Title"), this);
    lblTitle->setGeometry(pixels(kLblTitle.left, kLblTitle.top, kLblTitle.width, kLblTitle.height));
    lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblVersion = new QLabel(QStringLiteral("Version"), this);
    lblVersion->setGeometry(pixels(kLblVersion.left, kLblVersion.top, kLblVersion.width, kLblVersion.height));
    lblVisitHomePage = new LinkLabel(QString::fromLatin1(kVisitHomePageText), this);
    lblVisitHomePage->setGeometry(
        pixels(kLblVisitHomePage.left, kLblVisitHomePage.top, kLblVisitHomePage.width, kLblVisitHomePage.height));
    lblTechnicalSupport = new LinkLabel(QString::fromLatin1(kTechnicalSupportText), this);
    lblTechnicalSupport->setGeometry(pixels(kLblTechnicalSupport.left, kLblTechnicalSupport.top,
                                            kLblTechnicalSupport.width, kLblTechnicalSupport.height));
    setTabOrder(cmdOK, cmdSysInfo);

    QObject::connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    QObject::connect(cmdSysInfo, &QPushButton::clicked, this, [this] { cmdSysInfo_Click(); });
    lblVisitHomePage->onClick = [this] { lblVisitHomePage_Click(); };
    lblTechnicalSupport->onClick = [this] { lblTechnicalSupport_Click(); };

    Form_Load(mainCaption);

    // Centred on the screen.
    QScreen* screen = parent ? parent->screen() : this->screen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
}

QRect frmAbout::pixels(int left, int top, int width, int height) const
{
    return ui::twipsRect(*this, left, top, width, height);
}

void frmAbout::Form_Load(const QString& mainCaption)
{
    const AboutTexts texts = LoadAboutTexts(seams_, mainCaption);
    setWindowTitle(texts.caption);
    lblVersion->setText(texts.version);
    lblTitle->setText(texts.title);
    setTextColour(lblTitle, Qt::black);
    SetLinkStyle(lblVisitHomePage);
    SetLinkStyle(lblTechnicalSupport);

    const QString iconFile = AppIconFile(seams_);
    const QIcon icon(iconFile);
    const int side = ui::twipsToPixels(kIconTwips, logicalDpiX());
    const QPixmap picture = icon.availableSizes().isEmpty() ? QPixmap() : icon.pixmap(QSize(side, side));
    if (picture.isNull())
        throw Error(err::InvalidPicture, QStringLiteral("Invalid picture: %1").arg(iconFile));
    picIcon->setPixmap(picture);
    picIcon->resize(picture.size() / picture.devicePixelRatio()); // the box sizes itself to the picture

    lblDisclaimer->setText(texts.disclaimer);
    setTextColour(lblDisclaimer, Qt::black);
}

void frmAbout::SetLinkStyle(QLabel* label)
{
    QFont font(QString::fromLatin1(kLinkFontFamily));
    font.setPointSizeF(kLinkFontPoints);
    font.setUnderline(true);
    label->setFont(font);
    setTextColour(label, rgb(kLinkRgb));

    const QString cursorFile = HandCursorFile(seams_);
    const Hotspot hot = ReadCursorHotspot(cursorFile);
    const QPixmap shape(cursorFile);
    if (shape.isNull())
        throw Error(err::InvalidPicture, QStringLiteral("Invalid picture: %1").arg(cursorFile));
    label->setCursor(QCursor(shape, hot.x, hot.y));

    // Sized to its text, from where it was placed.
    label->adjustSize();
}

void frmAbout::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // The etched separator: a grey line over a white one.
    QPainter p(this);
    const int dx = logicalDpiX();
    const int dy = logicalDpiY();
    const int greyX1 = ui::twipsToPixels(kSeparatorGrey.x1, dx);
    const int whiteX1 = ui::twipsToPixels(kSeparatorWhite.x1, dx);
    p.fillRect(QRect(greyX1, ui::twipsToPixels(kSeparatorGrey.y, dy),
                     ui::twipsToPixels(kSeparatorGrey.x2, dx) - greyX1 + 1, 1),
               rgb(kSeparatorGreyRgb));
    p.fillRect(QRect(whiteX1, ui::twipsToPixels(kSeparatorWhite.y, dy),
                     ui::twipsToPixels(kSeparatorWhite.x2, dx) - whiteX1 + 1, kSeparatorWhitePixels),
               Qt::white);
}

void frmAbout::showEvent(QShowEvent* event)
{
    // Opened without an owner, the box still belongs to the window it was opened from, which
    // keeps it out of the task bar and above that window.
    if (!parentWidget()) {
        QWidget* opener = QApplication::activeWindow();
        if (opener && opener != this && windowHandle() && opener->windowHandle())
            windowHandle()->setTransientParent(opener->windowHandle());
    }
    QDialog::showEvent(event);
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click()
{
    trapProcedure(seams_, QStringLiteral("cmdSysInfo_Click"), [this] { StartSysInfo(seams_); });
}

void frmAbout::lblVisitHomePage_Click()
{
    trapProcedure(seams_, QStringLiteral("mnuVisitHomePage_Click"), [this] {
        if (links_.visitHomePage)
            links_.visitHomePage();
    });
}

void frmAbout::lblTechnicalSupport_Click()
{
    trapProcedure(seams_, QStringLiteral("mnuSupport_Click"), [this] {
        if (links_.support)
            links_.support();
    });
}

} // namespace bf::about
