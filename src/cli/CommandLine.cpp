#include "cli/CommandLine.h"

#include "core/Error.h"

#include <QCommandLineParser>

namespace bf::cli {

namespace {

const char* const kHelp =
    "Usage:\n"
    "  brakenfold-split [--backend native|calc] --list WORKBOOK...\n"
    "      Prints one line per worksheet: the workbook path, a tab, the worksheet\n"
    "      name. Worksheets only (no chart, macro or dialog sheets), hidden ones\n"
    "      included. In both fields a backslash is written \\\\, a tab \\t, a line\n"
    "      feed \\n, a carriage return \\r and any other control character \\xHH, so\n"
    "      each line is one worksheet.\n"
    "  brakenfold-split [--backend native|calc] [--values] --extract WORKBOOK\n"
    "                   WORKSHEET OUTPUT.xls\n"
    "      Writes worksheet WORKSHEET of WORKBOOK as a new workbook OUTPUT.xls\n"
    "      holding only that sheet, in the format of WORKBOOK (an .xlsx or .xlsm\n"
    "      workbook gives an .xlsx file: name OUTPUT accordingly). An existing\n"
    "      OUTPUT.xls is never replaced.\n"
    "  brakenfold-split -h|--help\n"
    "      Shows this text.\n"
    "  brakenfold-split -V|--version\n"
    "      Shows the program's version.\n"
    "\n"
    "Any other command line runs a split (see the program's help).\n"
    "\n"
    "The default backend is the built-in engine (native); calc drives LibreOffice\n"
    "Calc when the package brakenfold-calc is installed. Errors are printed on\n"
    "standard error as \"error NUMBER: TEXT\"; the exit status is 0 on success and 1\n"
    "on failure, 2 for a wrong command line.\n"
    "\n"
    "Splitting (any other command line):\n"
    "  brakenfold-split [--backend native|calc] [-o FOLDER] [--keep-going]\n"
    "                   [--skip-hidden] [--skip-very-hidden] [--name TEMPLATE]\n"
    "                   [--values] [--jobs N] WORKBOOK|FOLDER...\n"
    "      Splits workbooks into one workbook per worksheet, as the window's Split\n"
    "      command does. Each WORKBOOK (a file whose name ends in xls, .xlsx or\n"
    "      .xlsm) and every .xls, .xlsx and .xlsm file directly in each FOLDER is\n"
    "      listed as Add File and Add Folder list it: a workbook already listed is\n"
    "      skipped, a worksheet whose name holds \"?\" is left out. The output goes\n"
    "      to a new run folder named by the time stamp under FOLDER given with -o\n"
    "      (default: the current directory): one folder per source workbook, one\n"
    "      file per worksheet named SHEET_Splitted_at_STAMP.xls (.xlsx for an .xlsx\n"
    "      or .xlsm source). Existing files are never replaced. When the run\n"
    "      folder's name is taken (two runs in one second, or at two moments of one\n"
    "      stamp), the run uses STAMP (2), STAMP (3) and so on.\n"
    "      A worksheet of an .xlsm workbook is written as .xlsx, which holds no\n"
    "      macros: a one-sheet copy does not carry the workbook's VBA project. This\n"
    "      is said once per such workbook on standard error; it is not a failure.\n"
    "      Progress is shown on standard error when it is a terminal; reports go to\n"
    "      standard error; the last line on standard output is the run folder.\n"
    "      The run stops at the first worksheet that fails, as the window's does.\n"
    "      With --keep-going it goes on with the next one, and lists every failure\n"
    "      at the end.\n"
    "      --jobs N splits up to N workbooks at once (default: one per core of the\n"
    "      computer; N from 1 to 64). Folders, files, reports, the failure list\n"
    "      and the exit status are those of one job; the progress line counts the\n"
    "      worksheets of every job. A failure ends the run as with one job: no\n"
    "      workbook is started after it, earlier ones are finished and what later\n"
    "      ones wrote is removed. The calc backend drives one LibreOffice and\n"
    "      splits one workbook at a time: with it --jobs above 1 is refused.\n"
    "      --skip-hidden leaves out the worksheets the workbook hides, and\n"
    "      --skip-very-hidden those it hides so that only a program can show them\n"
    "      (the calc backend tells them as hidden: there --skip-hidden leaves them\n"
    "      out and --skip-very-hidden alone leaves out none). The summary on\n"
    "      standard error says how many were left out.\n"
    "      --name TEMPLATE names the files from TEMPLATE, the extension added:\n"
    "      {sheet} is the worksheet's name, {book} the workbook's name less its\n"
    "      ending, {stamp} the run's time stamp, {index} the sheet's position among\n"
    "      the workbook's worksheets, from 1. Fields are in lower case; braces serve\n"
    "      fields only. The default is {sheet}_Splitted_at_{stamp}. A template that\n"
    "      gives a file no name, a name with \"/\", or two worksheets of one\n"
    "      workbook one name, is refused before anything is written, naming the\n"
    "      first such row; e.g. --name '{book}-{index}-{sheet}'.\n"
    "      Exit status: 0 every input was listed and split; 1 the run failed or,\n"
    "      with --keep-going, a worksheet failed (the reports are on standard\n"
    "      error); 2 the run completed but an input could not be listed, or a wrong\n"
    "      command line.\n"
    "\n"
    "--values (split and --extract): a formula that reads another sheet is\n"
    "replaced by the value it shows, so the output holds no link to the source\n"
    "workbook; formulas of the sheet itself stay. Names, validation lists,\n"
    "conditional formats and chart series reading other sheets become values\n"
    "where the format allows (.xlsx; in .xls names of one cell and validation\n"
    "lists), else are dropped or keep #REF!; standard error counts what went.\n"
    "Example:\n"
    "  brakenfold-split --values -o out book.xlsx\n"
    "The native backend only; calc refuses it.\n"
    "\n"
    "Password-protected workbooks (every mode):\n"
    "  --password-file FILE  --decrypt\n"
    "      A protected workbook is opened with the default password first, then\n"
    "      with each line of FILE in turn, then, when standard input is a terminal,\n"
    "      with a password typed at a prompt (not shown). A password is never taken\n"
    "      from the command line itself, where other users could read it. Every\n"
    "      output of a protected workbook is protected with the same password;\n"
    "      --decrypt writes the outputs without it.\n";

const QString kEndOfOptions = QStringLiteral("--");

bool isOneOf(const QString& argument, std::initializer_list<const char*> spellings)
{
    for (const char* s : spellings)
        if (argument == QLatin1String(s))
            return true;
    return false;
}

bool takesValue(const QString& argument)
{
    return isOneOf(argument, {"-o", "--backend", "--name", "--password-file", "--jobs"});
}

// After --list or --extract every argument is an operand, as a worksheet may be named "-x": an
// end of options is put after the first of them.
QStringList withOperandsAfterMode(QStringList arguments)
{
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != kEndOfOptions; ++i) {
        if (isOneOf(arguments[i], {"--list", "--extract"})) {
            arguments.insert(i + 1, kEndOfOptions);
            break;
        }
        if (takesValue(arguments[i]))
            ++i;
    }
    return arguments;
}

// What comes first among the options: a request for help or the version (the mode is set), or an
// argument the parser refused (the message is returned). Options are taken in order, so what
// precedes --help is still checked and what follows it is not.
QString firstAnswerOrRefusal(const QStringList& arguments, CommandLine& cl)
{
    for (qsizetype i = 1; i < arguments.size() && arguments[i] != kEndOfOptions; ++i) {
        const QString& a = arguments[i];
        if (isOneOf(a, {"-h", "--help", "-V", "--version"})) {
            cl.mode = isOneOf(a, {"-h", "--help"}) ? Mode::Help : Mode::Version;
            return QString();
        }
        if (takesValue(a) && i + 1 >= arguments.size())
            return a == QLatin1String("-o")                ? QStringLiteral("-o needs a value")
                   : a == QLatin1String("--name")      ? QStringLiteral("--name needs a template")
                   : a == QLatin1String("--backend")   ? QStringLiteral("--backend needs a name (native or calc)")
                   : a == QLatin1String("--jobs")      ? QStringLiteral("--jobs needs a number")
                                                       : QStringLiteral("--password-file needs a file");
        if (takesValue(a))
            ++i;
        else if (a.startsWith('-') && a != QLatin1String("-") &&
                 !isOneOf(a, {"--keep-going", "--list", "--extract", "--skip-hidden", "--skip-very-hidden",
                              "--values", "--decrypt"}) &&
                 !takesValue(a.section('=', 0, 0)))
            return QStringLiteral("unknown option '%1'").arg(a);
    }
    return QString();
}

// The operands a mode needs, and options that belong to the split alone.
QString checkMode(const QCommandLineParser& parser, CommandLine& cl)
{
    const bool splitOptions = parser.isSet(QStringLiteral("o")) || cl.keepGoing;
    const bool nameOrSkip = parser.isSet(QStringLiteral("name")) || cl.options.skipHidden || cl.options.skipVeryHidden;
    const bool listOrExtract = parser.isSet(QStringLiteral("list")) || parser.isSet(QStringLiteral("extract"));
    if (nameOrSkip && listOrExtract)
        return QStringLiteral("--skip-hidden, --skip-very-hidden and --name belong to the split alone");
    if (parser.isSet(QStringLiteral("jobs")) && listOrExtract)
        return QStringLiteral("--jobs belongs to the split alone");
    if (parser.isSet(QStringLiteral("list"))) {
        cl.mode = Mode::List;
        if (cl.values)
            return QStringLiteral("--list takes no --values");
        if (splitOptions)
            return QStringLiteral("--list takes no -o or --keep-going");
        return cl.operands.isEmpty() ? QStringLiteral("--list needs at least one workbook") : QString();
    }
    if (parser.isSet(QStringLiteral("extract"))) {
        cl.mode = Mode::Extract;
        if (splitOptions)
            return QStringLiteral("--extract takes no -o or --keep-going");
        return cl.operands.size() != 3 ? QStringLiteral("--extract needs WORKBOOK WORKSHEET OUTPUT.xls") : QString();
    }
    if (cl.operands.isEmpty())
        return QStringLiteral("no workbook or folder given");
    if (cl.outputFolder.isEmpty())
        return QStringLiteral("-o needs a folder");
    return QString();
}

// --jobs N: a whole number from 1 to kMaxJobs, and above 1 only on the native backend, as the
// calc backend drives one office that splits one workbook at a time.
QString readJobs(const QString& text, CommandLine& cl)
{
    bool number = false;
    const int jobs = text.toInt(&number);
    if (!number || jobs < 1 || jobs > kMaxJobs)
        return QStringLiteral("--jobs needs a whole number from 1 to %1, not '%2'").arg(kMaxJobs).arg(text);
    if (jobs > 1 && cl.backend != QLatin1String("native"))
        return QStringLiteral("--jobs %1: the %2 backend splits one workbook at a time; only the native one takes "
                              "more jobs")
            .arg(jobs)
            .arg(cl.backend);
    cl.jobs = jobs;
    return QString();
}

} // namespace

const char* helpText() { return kHelp; }

QString parseCommandLine(const QStringList& arguments, CommandLine& cl)
{
    QCommandLineParser parser;
    // "-ofoo" is an unknown option, not -o with the value "foo".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QString value = QStringLiteral("value");
    parser.addOptions({{QStringLiteral("backend"), QString(), value},
                       {QStringLiteral("o"), QString(), value},
                       {QStringLiteral("keep-going"), QString()},
                       {QStringLiteral("skip-hidden"), QString()},
                       {QStringLiteral("skip-very-hidden"), QString()},
                       {QStringLiteral("name"), QString(), value},
                       {QStringLiteral("values"), QString()},
                       {QStringLiteral("password-file"), QString(), value},
                       {QStringLiteral("decrypt"), QString()},
                       {QStringLiteral("jobs"), QString(), value},
                       {QStringLiteral("list"), QString()},
                       {QStringLiteral("extract"), QString()},
                       {{QStringLiteral("h"), QStringLiteral("help")}, QString()},
                       {{QStringLiteral("V"), QStringLiteral("version")}, QString()}});
    const QStringList effective = withOperandsAfterMode(arguments);
    const bool parsed = parser.parse(effective);
    const QString refusal = firstAnswerOrRefusal(effective, cl);
    if (cl.mode == Mode::Help || cl.mode == Mode::Version)
        return QString();
    if (!parsed)
        return refusal.isEmpty() ? parser.errorText() : refusal;
    if (parser.isSet(QStringLiteral("backend")))
        cl.backend = parser.value(QStringLiteral("backend"));
    if (parser.isSet(QStringLiteral("o")))
        cl.outputFolder = parser.value(QStringLiteral("o"));
    cl.keepGoing = parser.isSet(QStringLiteral("keep-going"));
    cl.options.skipHidden = parser.isSet(QStringLiteral("skip-hidden"));
    cl.options.skipVeryHidden = parser.isSet(QStringLiteral("skip-very-hidden"));
    if (parser.isSet(QStringLiteral("name"))) {
        cl.options.nameTemplate = parser.value(QStringLiteral("name"));
        try {
            split::NameTemplate::parse(cl.options.nameTemplate);
        } catch (const Error& e) {
            return QStringLiteral("--name: ") + e.description();
        }
    }
    cl.values = parser.isSet(QStringLiteral("values"));
    if (parser.isSet(QStringLiteral("jobs"))) {
        const QString refused = readJobs(parser.value(QStringLiteral("jobs")), cl);
        if (!refused.isEmpty())
            return refused;
    }
    cl.passwordFile = parser.value(QStringLiteral("password-file"));
    cl.decrypt = parser.isSet(QStringLiteral("decrypt"));
    cl.operands = parser.positionalArguments();
    return checkMode(parser, cl);
}

} // namespace bf::cli
