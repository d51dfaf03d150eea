#pragma once
// The Help menu's link commands, without a window: Visit HomePage and Support from the menu or
// toolbar, and the About box's two links, call these and report what they raise.
#include "startup/AppContext.h"

#include <QString>

namespace bf::about {

inline constexpr const char* kHomePageKey = "HomePage";
inline constexpr const char* kSupportEmailKey = "SupportEmail";

// Hands the configured HomePage value, unchanged, to the shell's open. A missing key hands
// over an empty text; what the shell makes of the value is not looked at. Throws bf::Error
// when there is no configuration store or no shell.
void VisitHomePage(const AppContext& context);

// The same with the SupportEmail value.
void Support(const AppContext& context);

// The help file beside the program ("help/help.chm", found case-insensitively).
QString HelpFilePath(const platform::Seams& seams);
// A page of the HTML help beside the program ("help/html/<page>").
QString HelpPagePath(const platform::Seams& seams, const QString& page);

// The page shown when no menu entry names a topic.
inline constexpr const char* kHelpStartPage = "index.htm";

// Opens the help: the compiled help file where a program on this computer takes it, else the
// topic's HTML page in the browser, else a message naming the files. Throws bf::Error when there
// is no shell.
void OpenHelp(const platform::Seams& seams, const QString& page);

} // namespace bf::about
