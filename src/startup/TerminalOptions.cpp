#include "startup/TerminalOptions.h"

#include "core/ProgramVersion.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>

namespace bf {

namespace {

const char* const kHelp =
    "Usage: brakenfold [FILE|FOLDER]...\n"
    "  Opens the window and lists each FILE (a workbook whose name ends in xls,\n"
    "  .xlsx or .xlsm) and every such workbook directly in each FOLDER, as Add File\n"
    "  and Add Folder list them.\n"
    "\n"
    "Options:\n"
    "  -h, --help     Shows this text.\n"
    "  -V, --version  Shows the program's version.\n"
    "\n"
    "brakenfold-split splits workbooks without a window.\n";

void printOut(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

} // namespace

std::optional<int> answerOnTerminal(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    // The window system's own options ("-platform NAME") are single-dash words.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("V"), QStringLiteral("version")}, QString());
    parser.addOptions({help, version});
    parser.parse(arguments); // other options are not refused here
    for (const QString& name : parser.optionNames()) {
        if (help.names().contains(name)) {
            printOut(QString::fromLatin1(kHelp));
            return 0;
        }
        if (version.names().contains(name)) {
            printOut(QStringLiteral("brakenfold %1\n").arg(programVersion()));
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace bf
