#pragma once
// What the About box shows and where, kept apart from the widgets so it can be checked
// without a window: the texts set at load, the layout in twips, the files it loads and the
// hotspot of the hand cursor.
#include "platform/Seams.h"

#include <QString>
#include <cstdint>

namespace bf::about {

struct AboutTexts {
    QString caption;    // "About " + application title
    QString title;      // the main window's caption as shown in its title bar
    QString version;    // "Version " + major.minor.revision
    QString disclaimer; // set empty at load
};

// The texts of a freshly loaded box for a main window whose caption is mainCaption.
AboutTexts LoadAboutTexts(const platform::Seams& seams, const QString& mainCaption);

// Designed texts that are not replaced at load.
inline constexpr const char* kVisitHomePageText = "VisitHomePage";
inline constexpr const char* kTechnicalSupportText = "Technical Support";
inline constexpr const char* kOkText = "OK";
inline constexpr const char* kSysInfoButtonText = "&System Info...";

// ---- Layout, in twips (1/1440 inch) ----
struct TwipRect {
    int left, top, width, height;
};
inline constexpr int kClientWidth = 5670;
inline constexpr int kClientHeight = 4245;
inline constexpr TwipRect kCmdOK{4245, 2880, 1260, 345};
inline constexpr TwipRect kPicIcon{240, 240, 540, 540};
inline constexpr TwipRect kCmdSysInfo{4260, 3360, 1245, 345};
inline constexpr TwipRect kLblDisclaimer{255, 2625, 3870, 1305};
inline constexpr TwipRect kLblTitle{1050, 240, 3885, 480};
inline constexpr TwipRect kLblVersion{1050, 780, 3885, 225};
inline constexpr TwipRect kLblVisitHomePage{1080, 1200, 1080, 195};
inline constexpr TwipRect kLblTechnicalSupport{1080, 1560, 1305, 195};

// The etched separator: a grey line with a white one, two pixels wide, just below it.
struct TwipLine {
    int x1, x2, y;
};
inline constexpr TwipLine kSeparatorGrey{90, 5654, 2445};
inline constexpr TwipLine kSeparatorWhite{105, 5654, 2460};
inline constexpr std::uint32_t kSeparatorGreyRgb = 0x808080;
inline constexpr int kSeparatorWhitePixels = 2;

// Links: underlined, pure blue, in this font.
inline constexpr std::uint32_t kLinkRgb = 0x0000FF;
inline constexpr const char* kLinkFontFamily = "MS Sans Serif";
inline constexpr double kLinkFontPoints = 8.25;

// ---- Files beside the program ----
// The application icon and the hand cursor, found case-insensitively beside the program.
// A missing file throws bf::Error 53 naming it.
QString AppIconFile(const platform::Seams& seams);
QString HandCursorFile(const platform::Seams& seams);

// A cursor's hotspot as its file stores it.
struct Hotspot {
    int x;
    int y;
};
// Reads the hotspot of the first image of a .cur file. Throws bf::Error 53 for a missing
// file and bf::Error 481 for a file that is not a cursor.
Hotspot ReadCursorHotspot(const QString& curFile);
// The same, from the file's bytes.
Hotspot ParseCursorHotspot(const QByteArray& bytes, const QString& nameForErrors);

} // namespace bf::about
