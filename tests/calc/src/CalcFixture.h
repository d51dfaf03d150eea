#pragma once
// What the Calc backend's tests share: one office for the whole program (starting one takes
// seconds), ended when the program's tests are over, and the independent check of a split.
#include "automation/calc/CalcApplication.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

namespace bf::test::calc {

// The program's one office, started on first use. Each test leaves it with no workbook open.
automation::calc::CalcApplication& sharedCalc();
// The seams every office of the program asks through; a test clears what it looks at.
FakeSeams& sharedSeams();

struct ScriptResult {
    int exitCode = -1;
    QString output;
};

// Runs the xlrd check of one split output against its source worksheet; with drawings, the
// output must also carry drawing records.
inline ScriptResult checkSplit(const QString& source, const QString& sheet, const QString& output,
                               bool drawings = false)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QStringList args{QStringLiteral(BRAKENFOLD_CALC_CHECK_SCRIPT), source, sheet, output};
    if (drawings)
        args << QStringLiteral("--drawings");
    p.start(python(), args);
    ScriptResult r;
    if (!p.waitForFinished(120000)) {
        r.output = QStringLiteral("the check did not finish: ") + p.errorString();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

// The names of the worksheets a workbook offers, in order.
inline QStringList worksheetNames(automation::Workbook& book)
{
    QStringList names;
    for (const auto& sheet : book.Worksheets())
        names << sheet->Name();
    return names;
}

} // namespace bf::test::calc
