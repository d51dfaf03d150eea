// The split's options: names from a template and their refusals, hidden worksheets left out, the
// Config.cfg keys, on the scripted spreadsheet application; then brakenfold-split with them on
// corpus workbooks whose sheets an independent reader calls hidden or very hidden.
#include "split/NameTemplate.h"
#include "split/SplitOptions.h"
#include "support/SplitFixture.h"

#include <map>
#include <set>

using namespace bf;
using namespace bf::split;
using test::filesUnder;

namespace {

const QString kStamp = test::SplitFixture::kStamp;

// Two workbooks: Sales.xls (Data, Notes hidden, Code very hidden) and Old.xls (Data).
struct OptionsRun : test::SplitFixture {
    explicit OptionsRun(const QStringList& configLines = test::standardConfigLines()) : SplitFixture(configLines)
    {
        add("/in/Sales.xls", {"Data", "Notes", "Code"}, {book::Visibility::Visible, book::Visibility::Hidden, book::Visibility::VeryHidden});
        add("/in/Old.xls", {"Data"}, {book::Visibility::Visible});
    }
};

} // namespace

// Fields: sheet "Data", book "Sales", the stamp, index 2. Braces serve fields only, in lower case.
TEST(NameTemplate, FieldsAreFilledAndOddSpellingsOrNamesNoFileCanHoldAreRefused)
{
    const QString tooLong(252, QLatin1Char('x'));
    const struct {
        QString text;
        QString name;    // the name it gives, when it parses
        QString refusal; // a part of the refusal, "" when the template and the name are good
    } cases[] = {
        {"{sheet}_Splitted_at_{stamp}", "Data_Splitted_at_2008723957", ""},
        {"{book}-{index}-{sheet}", "Sales-2-Data", ""},
        {"{sheet}{sheet} plain", "DataData plain", ""},
        {"report", "report", ""},
        {"{Sheet}", "", "names no field {Sheet}"},
        {"{ sheet }", "", "names no field { sheet }"},
        {"{}", "", "names no field {}"},
        {"{sheet", "", "has a \"{\" without its \"}\""},
        {"{{sheet}}", "", "has a \"{\" without its \"}\""},
        {"sheet}", "", "has a \"}\" that closes no field"},
        {"", "", "the name is empty"},
        {"a/{sheet}", "a/Data", "holds a \"/\" or a NUL"},
        {QString("a") + QChar(u'\0'), QString("a") + QChar(u'\0'), "holds a \"/\" or a NUL"},
        {tooLong, tooLong, "is 256 bytes long, more than the 255"},
        {tooLong.left(251), tooLong.left(251), ""},
    };
    for (const auto& c : cases) {
        QString refusal;
        QString name;
        try {
            name = NameTemplate::parse(c.text).render({"Data", "Sales", kStamp, 2});
            refusal = nameRefusal(name, ".xls");
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), err::InvalidProcedureCall);
            refusal = e.description();
        }
        EXPECT_EQ(name, c.name) << c.text.toStdString();
        EXPECT_EQ(c.refusal.isEmpty(), refusal.isEmpty()) << c.text.toStdString() << ": " << refusal.toStdString();
        EXPECT_TRUE(refusal.contains(c.refusal)) << refusal.toStdString();
    }
    EXPECT_EQ(bookFieldOf("/a/Report.xlsm"), "Report");
    EXPECT_EQ(bookFieldOf("/a/Old.XLS"), "Old");

    // The preview: the task list's first row when it has one, else the example.
    tasklist::InMemoryTaskRows rows;
    EXPECT_EQ(firstOutputName("{book}-{index}-{sheet}", &rows, kStamp).fileName, "Book1-1-Sheet1.xls");
    rows.addRow("/d/Sales.xlsx", "Data");
    rows.addRow("/d/Other.xls", "Old");
    rows.setSheetFacts(1, {3, book::Visibility::Hidden});
    EXPECT_EQ(firstOutputName("{book}-{index}-{sheet}", &rows, kStamp).fileName, "Sales-3-Data.xlsx");
    EXPECT_TRUE(firstOutputName("{sheet}/", &rows, kStamp).refusal.contains("\"{sheet}/\" gives no file name"));
}

// What each option writes, and a refused template: nothing written, the first offending row named.
TEST(SplitOptions, HiddenSheetsAreLeftOutAndTemplatesNameTheFilesOrAreRefusedBeforeAnythingIsWritten)
{
    const QString s = "_Splitted_at_" + kStamp;
    const struct {
        bool skipHidden, skipVeryHidden;
        QString nameTemplate;
        QStringList files;    // under the run folder; none when refused
        QString lastMessage;  // a part of it
    } cases[] = {
        {false, false, kDefaultNameTemplate,
         {"Old/Data" + s + ".xls", "Sales/Code" + s + ".xls", "Sales/Data" + s + ".xls", "Sales/Notes" + s + ".xls"},
         "Mission complete!"},
        {true, false, kDefaultNameTemplate, {"Old/Data" + s + ".xls", "Sales/Code" + s + ".xls", "Sales/Data" + s + ".xls"},
         "Mission complete!\r\n1 hidden worksheet was left out, as the options ask."},
        {true, true, "{book}-{index}", {"Old/Old-1.xls", "Sales/Sales-1.xls"}, "2 hidden worksheets were left out"},
        {false, true, "{index} {sheet}", {"Old/1 Data.xls", "Sales/1 Data.xls", "Sales/2 Notes.xls"}, "1 hidden worksheet was"},
        {false, false, "{book}", {}, "row 2 (/in/Sales.xls, worksheet \"Notes\") no file name: an earlier worksheet"},
        // Leaving the sheets out that would share the name makes the template good.
        {true, true, "{book}", {"Old/Old.xls", "Sales/Sales.xls"}, "Mission complete!"},
        {false, false, "{stamp}/{sheet}", {}, "row 1 (/in/Sales.xls, worksheet \"Data\") no file name: the name holds"},
    };
    for (const auto& c : cases) {
        OptionsRun run;
        const SplitOptions options{c.skipHidden, c.skipVeryHidden, c.nameTemplate};
        const QString folder = run.split(&options);
        EXPECT_EQ(folder.isEmpty(), c.files.isEmpty()) << c.nameTemplate.toStdString();
        EXPECT_EQ(filesUnder(run.out.path() + '/' + kStamp), c.files) << c.nameTemplate.toStdString();
        if (c.files.isEmpty()) {
            EXPECT_EQ(QDir(run.out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        }
        ASSERT_FALSE(run.seams.messageBox.texts().isEmpty());
        EXPECT_TRUE(run.seams.messageBox.texts().last().contains(c.lastMessage)) << run.seams.messageBox.texts().last().toStdString();
    }
}

// A sheet name no file may hold: the default names keep failing at that row, after the rows before
// it are written; a template that takes the name refuses the run before anything is written, and
// one that does not take it writes every row.
TEST(SplitOptions, ASheetNameWithASeparatorFailsItsRowByDefaultAndTheWholeRunUnderATemplateThatUsesIt)
{
    const std::pair<QString, int> cases[] = {{kDefaultNameTemplate, 4}, {"{sheet}", 0}, {"{index}", 5}}; // files written
    for (const auto& [nameTemplate, files] : cases) {
        OptionsRun run;
        run.add("/in/Odd.xls", {"a/b"}, {book::Visibility::Visible});
        const SplitOptions options{false, false, nameTemplate};
        run.split(&options);
        EXPECT_EQ(filesUnder(run.out.path()).size(), files) << nameTemplate.toStdString();
    }}

// The Config.cfg keys: missing (a file of today), valid, and values that are no Boolean or no template.
TEST(SplitOptions, ConfigKeysMissingGiveTheDefaultsAndAWrongValueIsReportedNamingItsKey)
{
    const QStringList base = test::standardConfigLines();
    const struct {
        QStringList extra;
        bool skipHidden, skipVeryHidden;
        QString nameTemplate;
        QString refusal;
    } cases[] = {
        {{}, false, false, kDefaultNameTemplate, ""},
        {{"SkipHiddenSheets=1", "SkipVeryHiddenSheets=0", "OutputNameTemplate={book}_{index}"}, true, false, "{book}_{index}", ""},
        {{"SkipVeryHiddenSheets=1"}, false, true, kDefaultNameTemplate, ""},
        {{"SkipHiddenSheets=maybe"}, false, false, "", "the value \"maybe\" of the key \"SkipHiddenSheets\""},
        {{"SkipVeryHiddenSheets="}, false, false, "", "of the key \"SkipVeryHiddenSheets\""},
        {{"OutputNameTemplate={Sheet}"}, false, false, "", "the value of the key \"OutputNameTemplate\""},
    };
    for (const auto& c : cases) {
        OptionsRun run(base + c.extra);
        try {
            const SplitOptions o = splitOptionsFrom(run.context);
            EXPECT_TRUE(c.refusal.isEmpty()) << c.extra.join(',').toStdString();
            EXPECT_EQ(o.skipHidden, c.skipHidden);
            EXPECT_EQ(o.skipVeryHidden, c.skipVeryHidden);
            EXPECT_EQ(o.nameTemplate, c.nameTemplate);
        } catch (const Error& e) {
            EXPECT_TRUE(e.description().contains(c.refusal) && e.description().contains(run.config.path()))
                << e.description().toStdString();
            // The window's run reads the keys first: the report, no folder asked for, nothing written.
            EXPECT_EQ(run.split(nullptr), QString());
            EXPECT_TRUE(run.seams.messageBox.texts().last().contains(c.refusal));
            EXPECT_EQ(filesUnder(run.out.path()), QStringList());
        }
    }
}

namespace {

// Each sheet of the workbook and its state as the independent reader tells it: 0 visible,
// 1 hidden, 2 very hidden.
std::map<QString, int> statesRead(const QString& path)
{
    const char* script = R"(import sys
p = sys.argv[1]
if p.endswith('.xls'):
    import xlrd
    b = xlrd.open_workbook(p, on_demand=True)
    for s in b.sheets(): print('%d\t%s' % (s.visibility, s.name))
else:
    import openpyxl
    b = openpyxl.load_workbook(p, read_only=True)
    for s in b.worksheets: print('%d\t%s' % ({'visible': 0, 'hidden': 1, 'veryHidden': 2}[s.sheet_state], s.title))
)";
    QProcess reader;
    reader.start(test::python(), {"-c", script, path});
    reader.waitForFinished(test::deadlineMs(300000));
    std::map<QString, int> states;
    for (const QString& line : QString::fromUtf8(reader.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        states[line.section('\t', 1)] = line.section('\t', 0, 0).toInt();
    return states;
}

} // namespace

// brakenfold-split on both formats: the sheets written are those the reader calls shown, or not
// left out; the names follow the template, and a refused template writes nothing.
TEST(SplitOptions, TheCommandLineLeavesOutWhatTheReaderCallsHiddenAndNamesFilesFromTheTemplate)
{
    for (const QString& name : {QStringLiteral("xls/sheetjs--sheet_visibility.xls"),
                                QStringLiteral("xlsx/sheetjs--sheet_visibility.xlsx")}) {
        const QString source = test::corpusFile(name);
        const std::map<QString, int> states = statesRead(source);
        ASSERT_EQ(states.size(), 3u) << name.toStdString();
        const QString ext = name.endsWith(".xlsx") ? ".xlsx" : ".xls";
        const struct {
            QStringList options;
            std::set<int> leftOut;
        } cases[] = {{{}, {}}, {{"--skip-hidden"}, {1}}, {{"--skip-very-hidden"}, {2}}, {{"--skip-hidden", "--skip-very-hidden"}, {1, 2}}};
        for (const auto& c : cases) {
            test::TempDir out;
            const test::Outcome o =
                test::runProgram("brakenfold-split", c.options + QStringList{"--name", "{index}-{sheet} of {book}", "-o", out.path(), source}, out.path());
            EXPECT_EQ(o.exitCode, 0) << o.err.toStdString();
            QStringList expected;
            int index = 0;
            for (const QString& sheet : {QStringLiteral("Visible"), QStringLiteral("Hidden"), QStringLiteral("VeryHidden")}) {
                ++index;
                if (!c.leftOut.count(states.at(sheet)))
                    expected << QStringLiteral("sheetjs--sheet_visibility/%1-%2 of sheetjs--sheet_visibility%3").arg(index).arg(sheet, ext);
            }
            expected.sort();
            const QString runFolder = o.out.trimmed();
            EXPECT_EQ(filesUnder(runFolder), expected) << c.options.join(' ').toStdString();
            EXPECT_EQ(o.err.contains("hidden worksheet"), !c.leftOut.empty()) << o.err.toStdString();
        }
        test::TempDir out;
        const test::Outcome refused = test::runProgram("brakenfold-split", {"--name", "{book}", "-o", out.path(), source}, out.path());
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.err.contains("row 2 (")) << refused.err.toStdString();
        EXPECT_EQ(QDir(out.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }
}
