// brakenfold-split: the command-line front end of the workbook engine. It lists the worksheets
// of workbooks and writes one worksheet as a new workbook; every other command line goes to
// the split run (cli/RunMode.h). It reads no configuration, takes no instance lock and never
// replaces an existing file, since nobody is there to ask.
#include "automation/BackendPlugin.h"
#include "automation/SpreadsheetApplication.h"
#include "cli/RunMode.h"
#include "cli/TerminalText.h"
#include "core/Error.h"
#include "platform/Memory.h"
#include "platform/Seams.h"

#include <QFileInfo>
#include <QString>
#include <cstdio>
#include <cstring>


namespace {

const char* const kHelp =
    "Usage:\n"
    "  brakenfold-split [--backend native|calc] --list WORKBOOK...\n"
    "      Prints one line per worksheet: the workbook path, a tab, the worksheet name.\n"
    "      Worksheets only (no chart, macro or dialog sheets), hidden ones included.\n"
    "      In both fields a backslash is written \\\\, a tab \\t, a line feed \\n, a carriage\n"
    "      return \\r and any other control character \\xHH, so each line is one worksheet.\n"
    "  brakenfold-split [--backend native|calc] --extract WORKBOOK WORKSHEET OUTPUT.xls\n"
    "      Writes worksheet WORKSHEET of WORKBOOK as a new workbook OUTPUT.xls holding only\n"
    "      that sheet, in the format of WORKBOOK (an .xlsx or .xlsm workbook gives an .xlsx\n"
    "      file: name OUTPUT accordingly). An existing OUTPUT.xls is never replaced.\n"
    "  brakenfold-split --help\n"
    "      Shows this text.\n"
    "\n"
    "Any other command line runs a split (see the program's help).\n"
    "\n"
    "The default backend is the built-in engine (native); calc drives LibreOffice Calc when\n"
    "the package brakenfold-calc is installed. Errors are printed on standard error as\n"
    "\"error NUMBER: TEXT\"; the exit status is 0 on success and 1 on failure, 2 for a wrong\n"
    "command line.\n";

void printOut(const QString& s)
{
    const QByteArray b = s.toLocal8Bit();
    std::fwrite(b.constData(), 1, static_cast<size_t>(b.size()), stdout);
}

int reportError(const bf::Error& e)
{
    std::fprintf(stderr, "brakenfold-split: error %d: %s\n", e.number(), e.description().toLocal8Bit().constData());
    return 1;
}

int usage(const char* why)
{
    std::fprintf(stderr, "brakenfold-split: %s\nTry 'brakenfold-split --help'.\n", why);
    return 2;
}

QString arg(char* a) { return QString::fromLocal8Bit(a); }

int list(bf::automation::SpreadsheetApplication& app, int argc, char** argv, int first)
{
    int status = 0;
    for (int i = first; i < argc; ++i) {
        const QString path = arg(argv[i]);
        try {
            auto wb = app.workbooks().Open(path);
            QString lines;
            for (const auto& ws : wb->Worksheets())
                lines += bf::cli::escapedField(path) + '\t' + bf::cli::escapedField(ws->Name()) + '\n';
            wb->Close(false);
            printOut(lines);
            std::fflush(stdout);
        } catch (const bf::Error& e) {
            status = reportError(e);
        }
    }
    return status;
}

int extract(bf::automation::SpreadsheetApplication& app, const QString& source, const QString& sheet,
            const QString& output)
{
    // Checked here as well as by SaveAs: with alerts off SaveAs refuses an existing file too,
    // but the message should name the command line's own rule.
    if (QFileInfo::exists(output))
        throw bf::Error(bf::err::FileAlreadyExists, QStringLiteral("'%1' already exists; it is not replaced").arg(output));
    auto wb = app.workbooks().Open(source);
    wb->WorksheetByName(sheet)->Copy();
    auto copy = app.ActiveWorkbook();
    copy->SaveAs(output);
    copy->Close(false);
    wb->Close(false);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    bf::platform::reuseLargeBuffers();
    bf::automation::Backends backends;
    bf::automation::addPluginBackends(backends, bf::automation::runningProgramFolder());
    QString backend = QStringLiteral("native");
    int i = 1;
    if (i < argc && std::strcmp(argv[i], "--backend") == 0) {
        if (i + 1 >= argc)
            return usage("--backend needs a name (native or calc)");
        backend = arg(argv[i + 1]);
        i += 2;
    }
    if (i >= argc)
        return bf::cli::runMode(backends, argc, argv);
    const char* cmd = argv[i];
    if (std::strcmp(cmd, "--help") == 0 || std::strcmp(cmd, "-h") == 0) {
        std::fputs(kHelp, stdout);
        std::fputs(bf::cli::runModeHelp(), stdout);
        return 0;
    }
    const bool isList = std::strcmp(cmd, "--list") == 0;
    const bool isExtract = std::strcmp(cmd, "--extract") == 0;
    if (!isList && !isExtract)
        return bf::cli::runMode(backends, argc, argv);
    if (isList && argc - i < 2)
        return usage("--list needs at least one workbook");
    if (isExtract && argc - i != 4)
        return usage("--extract needs WORKBOOK WORKSHEET OUTPUT.xls");
    try {
        // Nobody is there to ask: the application gets no message box.
        const bf::platform::Seams noSeams;
        auto app = backends.create(backend, noSeams);
        // Nobody is there to answer a question.
        app->setDisplayAlerts(false);
        app->setAskToUpdateLinks(false);
        app->setScreenUpdating(false);
        int status = 0;
        try {
            status = isList ? list(*app, argc, argv, i + 1)
                            : extract(*app, arg(argv[i + 1]), arg(argv[i + 2]), arg(argv[i + 3]));
        } catch (...) {
            app->Quit();
            throw;
        }
        app->Quit();
        return status;
    } catch (const bf::Error& e) {
        return reportError(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "brakenfold-split: error: %s\n", e.what());
        return 1;
    }
}
