#include "cli/TerminalSeams.h"

#include "cli/TerminalText.h"

#include <cstdio>

namespace bf::cli {

platform::MsgResult StderrMessageBox::show(const QString& text, platform::MsgButtons buttons, platform::MsgIcon,
                                           platform::MsgDefault defaultButton)
{
    ++shown_;
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QByteArray bytes = (printable(lines, true) + '\n').toLocal8Bit();
    std::fflush(stdout);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
    if (buttons == platform::MsgButtons::Ok)
        return platform::MsgResult::Ok;
    return defaultButton == platform::MsgDefault::Second ? platform::MsgResult::No : platform::MsgResult::Yes;
}

TerminalSeams::TerminalSeams(const QString& outputFolder, const QString& programFolder)
    : folderChooser(outputFolder), appInfo(programFolder)
{
    seams.messageBox = &messageBox;
    seams.folderChooser = &folderChooser;
    seams.shell = &shell;
    seams.appInfo = &appInfo;
}

} // namespace bf::cli
