#pragma once
// The command line of brakenfold-split, read by one parser for every mode.
#include "split/SplitOptions.h"

#include <QString>
#include <QStringList>

namespace bf::cli {

enum class Mode { Split, List, Extract, Help, Version };

struct CommandLine {
    Mode mode = Mode::Split;
    QString backend = QStringLiteral("native");
    QString outputFolder = QStringLiteral(".");
    bool keepGoing = false;
    QString passwordFile; // one password a line, tried on every protected workbook
    bool decrypt = false; // outputs of protected workbooks written without protection
    // --skip-hidden, --skip-very-hidden, --name TEMPLATE.
    split::SplitOptions options;
    bool values = false; // formulas that read other sheets become their values
    int jobs = 0;        // workbooks split at once; 0: as many as the computer has cores
    // The workbooks and folders to split or list; for Extract WORKBOOK WORKSHEET OUTPUT.
    QStringList operands;
};

// Reads arguments (the program's name first) into cl. Returns why the command line is wrong, or
// "" when it is good.
QString parseCommandLine(const QStringList& arguments, CommandLine& cl);

// More workbooks at once than this would hold more of them in memory than any computer needs
// for its cores.
constexpr int kMaxJobs = 64;

// The --help text, lines of at most 80 columns.
const char* helpText();

} // namespace bf::cli
