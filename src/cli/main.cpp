// brakenfold-split: the command-line front end of the workbook engine. It lists the worksheets
// of workbooks and writes one worksheet as a new workbook; every other command line goes to
// the split run (cli/RunMode.h); the arguments are read once (cli/CommandLine.h). It reads no
// configuration, takes no instance lock and never replaces an existing file, since nobody is
// there to ask.
#include "automation/BackendPlugin.h"
#include "automation/SpreadsheetApplication.h"
#include "automation/Keyring.h"
#include "cli/CommandLine.h"
#include "cli/Passwords.h"
#include "cli/RunMode.h"
#include "cli/TerminalText.h"
#include "core/Error.h"
#include "core/ProgramVersion.h"
#include "platform/Memory.h"
#include "platform/Seams.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <cstdio>


namespace {

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

int usage(const QString& why)
{
    std::fprintf(stderr, "brakenfold-split: %s\nTry 'brakenfold-split --help'.\n", why.toLocal8Bit().constData());
    return 2;
}

int list(bf::automation::SpreadsheetApplication& app, bf::automation::Keyring& keyring, const QStringList& workbooks)
{
    int status = 0;
    for (const QString& path : workbooks) {
        try {
            auto wb = keyring.open(app.workbooks(), path);
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

int extract(bf::automation::SpreadsheetApplication& app, bf::automation::Keyring& keyring, const QStringList& operands)
{
    const QString &source = operands[0], &sheet = operands[1], &output = operands[2];
    // Checked here as well as by SaveAs: with alerts off SaveAs refuses an existing file too,
    // but the message should name the command line's own rule.
    if (QFileInfo::exists(output))
        throw bf::Error(bf::err::FileAlreadyExists, QStringLiteral("'%1' already exists; it is not replaced").arg(output));
    auto wb = keyring.open(app.workbooks(), source);
    wb->WorksheetByName(sheet)->Copy();
    auto copy = app.ActiveWorkbook();
    copy->SaveAs(output);
    copy->Close(false);
    wb->Close(false);
    return 0;
}

QStringList argumentsOf(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    bf::platform::reuseLargeBuffers();
    bf::cli::CommandLine cl;
    const QString problem = bf::cli::parseCommandLine(argumentsOf(argc, argv), cl);
    if (!problem.isEmpty())
        return usage(problem);
    if (cl.mode == bf::cli::Mode::Help) {
        std::fputs(bf::cli::helpText(), stdout);
        return 0;
    }
    if (cl.mode == bf::cli::Mode::Version) {
        printOut(QStringLiteral("brakenfold-split %1\n").arg(bf::programVersion()));
        return 0;
    }
    bf::automation::Backends backends;
    bf::automation::addPluginBackends(backends, bf::automation::runningProgramFolder());
    if (cl.mode == bf::cli::Mode::Split)
        return bf::cli::runMode(backends, cl);
    try {
        // Nobody is there to ask: the application gets no message box.
        const bf::platform::Seams noSeams;
        auto app = backends.create(cl.backend, noSeams);
        // Nobody is there to answer a question.
        app->setDisplayAlerts(false);
        app->setAskToUpdateLinks(false);
        app->setScreenUpdating(false);
        app->setDecryptOutputs(cl.decrypt);
        bf::automation::Keyring keyring;
        const QString passwordProblem = bf::cli::preparePasswords(cl, keyring);
        if (!passwordProblem.isEmpty())
            throw bf::Error(bf::err::FileNotFound, passwordProblem);
        if (cl.values)
            app->setBreakLinks(true);
        int status = 0;
        try {
            status = cl.mode == bf::cli::Mode::List ? list(*app, keyring, cl.operands) : extract(*app, keyring, cl.operands);
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
