// Extraction of one worksheet, checked by an independent reader (python3-xlrd) against the
// source sheet, and the structure and safety rules of the written file.
#include "BookBuilder.h"
#include "platform/NewFile.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "xls/ByteIO.h"
#include "xls/RecordIds.h"
#include "xls/Cfb.h"
#include "xls/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <map>
#include <optional>
#include <gtest/gtest.h>

using namespace bf;
using namespace bf::xls;

namespace {
struct PyRun {
    int exitCode;
    QString output;
};
PyRun python(const QString& script, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(test::python(), QStringList{test::sourceDir() + QStringLiteral("/tests/xls/") + script} + args);
    if (!p.waitForFinished(180000))
        return {-1, QStringLiteral("timed out")};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

QString write(const test::TempDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.file(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// The status the engine refused a call with, or nothing.
std::optional<XlsStatus> refusalOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const XlsError& e) {
        return e.status();
    }
    return std::nullopt;
}
} // namespace

TEST(Extraction, RepresentativeWorksheetsMatchTheSourceInAnIndependentReader)
{
    // Hidden sheets, formulas across sheets and 3-D ranges, comments, non-Latin names and
    // text, long string tables continued over many records, drawings and form controls,
    // defined names and print areas.
    const std::vector<std::pair<const char*, std::vector<const char*>>> cases = {
        {"xls/sheetjs--sheet_visibility.xls", {"Hidden", "VeryHidden"}},
        {"xls/poi--formulasheetrange.xls", {"test", "Sheet3"}},
        {"xls/poi--simplewithcomments.xls", {"Sheet1"}},
        {"xls/poi--57925.xls", {"Дефициты"}},
        {"xls/exceldatareader--stringcontinuationaftercharacterdata.xls", {"Index", "Table6(2)", "tei"}},
        {"xls/gnumeric--objs.xls", {"Sheet1 (2)"}},
        {"xls/poi--simplewithprintarea.xls", {"Sheet1"}},
        {"xls/xlrd--formula_test_names.xls", {"Sheet1"}},
    };
    test::TempDir dir;
    int n = 0;
    for (const auto& [file, sheets] : cases) {
        const QString source = test::corpusFile(QString::fromUtf8(file));
        const auto wb = XlsWorkbook::open(source);
        for (const char* sheet : sheets) {
            const QString name = QString::fromUtf8(sheet);
            int index = -1;
            for (const auto& s : wb->worksheets())
                if (s.name == name)
                    index = s.index;
            ASSERT_GE(index, 0) << file << " " << sheet;
            const QString out = write(dir, QStringLiteral("out%1.xls").arg(++n), wb->extract(index));
            const PyRun cmp = python(QStringLiteral("xlrd_compare.py"), {source, name, out});
            EXPECT_EQ(cmp.exitCode, 0) << file << " [" << sheet << "]\n" << cmp.output.toStdString();
            const PyRun leak = python(QStringLiteral("leak_check.py"), {source, name, out});
            EXPECT_EQ(leak.exitCode, 0) << leak.output.toStdString();
            EXPECT_TRUE(leak.output.trimmed().isEmpty()) << file << " [" << sheet << "] carries text of other sheets:\n"
                                                         << leak.output.toStdString();
        }
    }
}

TEST(Extraction, OutputStructureIsConsistent)
{
    // An Excel-written workbook with row index records, a hidden sheet and drawings.
    const QString source = test::corpusFile(QStringLiteral("xls/poi--57231_mixedgasreport.xls"));
    const auto wb = XlsWorkbook::open(source);
    const auto sheets = wb->worksheets();
    ASSERT_GE(sheets.size(), 3u);
    for (const auto& sheet : {sheets[1], sheets.back()}) {
        const QByteArray file = wb->extract(sheet.index);
        const auto out = XlsWorkbook::openBytes(file, QStringLiteral("out"));
        ASSERT_EQ(out->sheets().size(), 1u);
        EXPECT_EQ(out->sheets()[0].name, sheet.name);
        EXPECT_EQ(out->sheets()[0].visibility, 0);

        QString reason;
        auto cfb = CfbFile::openBytes(file, &reason);
        ASSERT_TRUE(cfb) << reason.toStdString();
        for (const auto& e : cfb->entries()) {
            EXPECT_NE(e.name, QStringLiteral("_VBA_PROJECT_CUR"));
            EXPECT_NE(e.name, QStringLiteral("\x05" "DocumentSummaryInformation")) << "it lists every sheet name";
        }
        QByteArray stream;
        ASSERT_TRUE(cfb->readStream(QStringLiteral("Workbook"), &stream));
        const auto* d = reinterpret_cast<const std::uint8_t*>(stream.constData());
        const std::size_t size = static_cast<std::size_t>(stream.size());
        // Walk every record; Index entries point at DBCell records and DefColWidth, the one
        // Window2 is selected and active, every text cell indexes the string table.
        auto typeAt = [&](std::size_t pos) { return pos + 4 <= size ? rd16(d + pos) : 0xFFFF; };
        std::size_t pos = 0, sstCount = 0, windows = 0, indexes = 0;
        while (pos + 4 <= size) {
            const std::uint16_t type = rd16(d + pos), len = rd16(d + pos + 2);
            ASSERT_LE(pos + 4 + len, size);
            const std::uint8_t* r = d + pos + 4;
            if (type == rt::Sst)
                sstCount = rd32(r + 4);
            if (type == rt::LabelSst) {
                EXPECT_LT(rd32(r + 6), sstCount);
            }
            if (type == rt::Window2 && len == 18) {
                EXPECT_EQ(rd16(r) & 0x0600, 0x0600);
                ++windows;
            }
            if (type == rt::Index) {
                ++indexes;
                EXPECT_EQ(typeAt(rd32(r + 12)), 0x0055) << "DefColWidth";
                for (std::size_t p = 16; p + 4 <= len; p += 4)
                    EXPECT_EQ(typeAt(rd32(r + p)), rt::DBCell);
            }
            if (type == rt::BoundSheet8) {
                EXPECT_EQ(typeAt(rd32(r)), rt::Bof);
            }
            pos += 4 + len;
        }
        EXPECT_EQ(pos, size);
        EXPECT_EQ(windows, 1u);
        EXPECT_EQ(indexes, 1u);
    }
}

TEST(Extraction, WritingToAFileIsSafe)
{
    test::TempDir dir;
    const QString source = test::corpusFile(QStringLiteral("xls/poi--twosheetsonehidden.xls"));
    const QString target = dir.file(QStringLiteral("Sheet2.xls"));
    extractWorksheetToFile(source, QStringLiteral("Sheet2"), target);
    ASSERT_TRUE(QFile::exists(target));
    EXPECT_EQ(XlsWorkbook::open(target)->worksheets().at(0).name, QStringLiteral("Sheet2"));

    // An existing file is never replaced.
    const QByteArray before = [&] { QFile f(target); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    try {
        extractWorksheetToFile(source, QStringLiteral("Sheet1"), target);
        ADD_FAILURE() << "an existing file was replaced";
    } catch (const platform::NewFileError& e) {
        EXPECT_EQ(e.status(), platform::NewFileStatus::AlreadyExists);
    }
    QFile f(target);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);

    // A missing worksheet, a chart-only name, a source that is no workbook, a sheet index that
    // is no worksheet: nothing written.
    const QString other = dir.file(QStringLiteral("x.xls"));
    EXPECT_EQ(refusalOf([&] { extractWorksheetToFile(source, QStringLiteral("Sheet3"), other); }), XlsStatus::NoSuchWorksheet);
    EXPECT_EQ(refusalOf([&] {
        extractWorksheetToFile(test::corpusFile(QStringLiteral("xls/phpspreadsheet--chartsheet.xls")), QStringLiteral("Chart1"), other);
    }), XlsStatus::NoSuchWorksheet);
    EXPECT_EQ(refusalOf([&] {
        extractWorksheetToFile(test::corpusFile(QStringLiteral("xls/sheetjs--sheet_visibility5.xls")), QStringLiteral("Visible"), other);
    }), XlsStatus::NotBiff8);
    EXPECT_EQ(refusalOf([&] { XlsWorkbook::open(source)->extract(-1); }), XlsStatus::NotAWorksheet);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Sheet2.xls"});
}

TEST(Extraction, PicturesAndEmbeddedObjectsGoOnlyWithTheSheetThatShowsThem)
{
    // The source holds a 775 KB photograph shown on sheet "pictures" and a small image on
    // "picture"; other sheets have shapes and comments only.
    const auto wb = XlsWorkbook::open(test::corpusFile(QStringLiteral("xls/poi--drawings.xls")));
    std::map<QString, qsizetype> sizes;
    for (const auto& s : wb->worksheets())
        sizes[s.name] = wb->extract(s.index).size();
    EXPECT_GT(sizes[QStringLiteral("pictures")], 700 * 1024);
    EXPECT_LT(sizes[QStringLiteral("picture")], 100 * 1024);
    EXPECT_GT(sizes[QStringLiteral("picture")], 13 * 1024);
    EXPECT_LT(sizes[QStringLiteral("rectangles")], 60 * 1024);
    EXPECT_LT(sizes[QStringLiteral("comments")], 60 * 1024);

    // The embedded OLE object (a storage of its own) goes with the sheet that shows it, class
    // id and content unchanged, and with no other sheet.
    CfbNode original;
    QString why;
    const auto source = CfbFile::openPath(wb->path(), &why);
    ASSERT_TRUE(source) << why.toStdString();
    ASSERT_TRUE(source->readStorage(QStringLiteral("MBD000D0788"), &original));
    for (const auto& s : wb->worksheets()) {
        QString reason;
        auto out = CfbFile::openBytes(wb->extract(s.index), &reason);
        ASSERT_TRUE(out) << reason.toStdString();
        CfbNode copied;
        const bool has = out->readStorage(QStringLiteral("MBD000D0788"), &copied);
        EXPECT_EQ(has, s.name == QLatin1String("embedded")) << s.name.toStdString();
        if (has) {
            EXPECT_EQ(copied.clsid, original.clsid);
            ASSERT_EQ(copied.children.size(), original.children.size());
            for (std::size_t i = 0; i < copied.children.size(); ++i)
                EXPECT_EQ(copied.children[i].data, original.children[i].data);
        }
    }
}

TEST(Extraction, FormulasOverOtherSheetsShowTheSourceValuesInLibreOffice)
{
    // Sheet "test" sums single cells and 3-D ranges (Sheet2:Sheet5) of the other sheets. The
    // output, alone in a folder so the source cannot be consulted, must show the same values
    // after LibreOffice has loaded (and recalculated) it.
    test::TempDir dir;
    const QString source = test::corpusFile(QStringLiteral("xls/poi--formulasheetrange.xls"));
    QDir().mkpath(dir.file(QStringLiteral("alone")));
    extractWorksheetToFile(source, QStringLiteral("test"), dir.file(QStringLiteral("alone/out.xls")));
    const QString filter = QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1");
    auto convert = [&](const QString& file, const QString& outDir) {
        QProcess p;
        p.start(QStringLiteral("soffice"), {QStringLiteral("-env:UserInstallation=file://") + dir.file(QStringLiteral("profile")),
                                            QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter,
                                            QStringLiteral("--outdir"), outDir, file});
        EXPECT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    };
    convert(source, dir.file(QStringLiteral("src")));
    convert(dir.file(QStringLiteral("alone/out.xls")), dir.file(QStringLiteral("out")));
    auto read = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll();
    };
    const QByteArray expected = read(dir.file(QStringLiteral("src/poi--formulasheetrange-test.csv")));
    const QByteArray actual = read(dir.file(QStringLiteral("out/out-test.csv")));
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(actual, expected);
    EXPECT_FALSE(actual.contains("Err:")) << actual.toStdString();
}

TEST(Extraction, WindowAndSheetListOfAHandBuiltWorkbook)
{
    // Two Window1 records (two windows on the workbook) and a hidden third sheet with a WINDOW
    // group for each: the output keeps both windows, each pointing at its one sheet, shows the
    // sheet, and keeps both groups, the sheet selected in each.
    std::vector<std::uint8_t> window1(18, 0);
    wr16(window1.data() + 10, 2); // itabCur
    wr16(window1.data() + 14, 3); // ctabSel
    std::vector<test::BuiltSheet> sheets(3);
    sheets[0].name = "One";
    sheets[1].name = "Two";
    sheets[2].name = "Three";
    sheets[2].hidden = 1;
    sheets[2].records = {test::rec(rt::Window2, std::vector<std::uint8_t>(18, 0)), test::rec(0x001D, std::vector<std::uint8_t>(15, 0))};
    const auto stream = test::buildStream(sheets, {test::rec(rt::Window1, window1), test::rec(rt::Window1, window1)});
    const auto wb = XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), stream}}), QStringLiteral("built"));
    const QByteArray file = wb->extract(2);
    const auto out = XlsWorkbook::openBytes(file, QStringLiteral("out"));
    ASSERT_EQ(out->sheets().size(), 1u);
    EXPECT_EQ(out->sheets()[0].name, QStringLiteral("Three"));
    EXPECT_EQ(out->sheets()[0].visibility, 0);
    QString reason;
    QByteArray data;
    ASSERT_TRUE(CfbFile::openBytes(file, &reason)->readStream(QStringLiteral("Workbook"), &data));
    const auto* d = reinterpret_cast<const std::uint8_t*>(data.constData());
    int window1s = 0, window2s = 0, selections = 0;
    for (std::size_t pos = 0; pos + 4 <= static_cast<std::size_t>(data.size()); pos += 4 + rd16(d + pos + 2)) {
        const std::uint16_t type = rd16(d + pos);
        if (type == rt::Window1) {
            ++window1s;
            EXPECT_EQ(rd16(d + pos + 4 + 10), 0);
            EXPECT_EQ(rd16(d + pos + 4 + 14), 1);
        }
        if (type == rt::Window2) {
            ++window2s;
            EXPECT_EQ(rd16(d + pos + 4) & 0x0600, 0x0600);
        }
        selections += type == 0x001D;
    }
    EXPECT_EQ(window1s, 2);
    EXPECT_EQ(window2s, 2);
    EXPECT_EQ(selections, 1);
}

TEST(Extraction, NamesOfOtherSheetsGoAndReferencesToKeptNamesAreRenumbered)
{
    // Name 1 belongs to the second sheet, name 2 is a workbook name used by a cell formula and
    // by a conditional format of the first sheet. Extracting the first sheet drops name 1, so
    // both references must now say 1.
    auto lbl = [](const std::string& name, std::uint16_t itab) {
        std::vector<std::uint8_t> d = {0, 0, 0, static_cast<std::uint8_t>(name.size()), 3, 0, 0, 0,
                                       static_cast<std::uint8_t>(itab), 0, 0, 0, 0, 0, 0};
        d.insert(d.end(), name.begin(), name.end());
        d.insert(d.end(), {0x1E, 5, 0}); // =5
        return test::rec(rt::Lbl, d);
    };
    std::vector<std::uint8_t> formula(22, 0);
    wr16(formula.data() + 20, 5);
    formula.insert(formula.end(), {0x23, 2, 0, 0, 0});           // =Rate (name 2)
    std::vector<std::uint8_t> cf = {1, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // cce1 5, cce2 0, format
    cf.insert(cf.end(), {0x43, 2, 0, 0, 0});                      // PtgName, value class
    std::vector<test::BuiltSheet> sheets(2);
    sheets[0].name = "First";
    sheets[0].records = {test::rec(rt::Formula, formula), test::rec(rt::CF, cf)};
    sheets[1].name = "Second";
    const auto stream = test::buildStream(sheets, {lbl("Other", 2), lbl("Rate", 0)});
    const auto wb = XlsWorkbook::openBytes(test::buildFile({{QStringLiteral("Workbook"), stream}}), QStringLiteral("built"));
    QString reason;
    QByteArray data;
    ASSERT_TRUE(CfbFile::openBytes(wb->extract(0), &reason)->readStream(QStringLiteral("Workbook"), &data));
    const auto* d = reinterpret_cast<const std::uint8_t*>(data.constData());
    QStringList names;
    int checked = 0;
    for (std::size_t pos = 0; pos + 4 <= static_cast<std::size_t>(data.size()); pos += 4 + rd16(d + pos + 2)) {
        const std::uint16_t type = rd16(d + pos), size = rd16(d + pos + 2);
        const std::uint8_t* r = d + pos + 4;
        if (type == rt::Lbl)
            names << QString::fromLatin1(reinterpret_cast<const char*>(r + 15), r[3]);
        if (type == rt::Formula || type == rt::CF) {
            EXPECT_EQ(rd32(r + size - 4), 1u) << type;
            ++checked;
        }
    }
    EXPECT_EQ(names, QStringList{"Rate"});
    EXPECT_EQ(checked, 2);
}
