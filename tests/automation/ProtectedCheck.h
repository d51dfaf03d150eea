#pragma once
// The check of a password-protected workbook on a backend: it opens with its password (the
// default one without asking), refuses a missing or wrong one with its own error, and each
// worksheet's copy is saved protected with the same password, or plain when decrypting, with the
// source sheet's cells as an independent reader (msoffcrypto-tool, xlrd, openpyxl) reads them.
#include "automation/BackendPlugin.h"
#include "automation/SpreadsheetApplication.h"
#include "support/FakeSeams.h"
#include "support/TempDir.h"
#include "support/TestPaths.h"
#include "support/Thrown.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

namespace bf::test {


using automation::PasswordError;

struct Protected {
    QString path;
    QString password;
};

// The independent check of the outputs; "" when they are what they must be.
inline QString outputFaults(const Protected& source, const QStringList& outputs, bool plain)
{
    TempDir dir;
    QStringList args{sourceDir() + QStringLiteral("/tests/automation/protected_outputs.py"), source.path,
                     dir.write(QStringLiteral("password"), source.password.toUtf8())};
    if (plain)
        args << QStringLiteral("--plain");
    QProcess check;
    check.start(python(), args + outputs);
    if (!check.waitForFinished(300000))
        return QStringLiteral("the check did not end");
    return check.exitCode() == 0 ? QString() : QString::fromUtf8(check.readAllStandardOutput() + check.readAllStandardError());
}

// Splits every worksheet into dir; the output paths.
inline QStringList splitAll(automation::SpreadsheetApplication& app, const Protected& source, const QString& dir)
{
    auto book = app.workbooks().Open(source.path, source.password);
    QStringList outputs;
    const QString ending = source.path.endsWith(QLatin1String(".xls")) ? QStringLiteral(".xls") : QStringLiteral(".xlsx");
    int n = 0;
    for (const auto& sheet : book->Worksheets()) {
        sheet->Copy();
        auto copy = app.ActiveWorkbook();
        outputs << QStringLiteral("%1/%2%3").arg(dir).arg(n++).arg(ending);
        copy->SaveAs(outputs.back());
        copy->Close(false);
    }
    book->Close(false);
    return outputs;
}

inline void checkProtectedWorkbook(const Protected& source, automation::Backends& backends, const QString& backend)
{
    SCOPED_TRACE(source.path.toStdString());
    FakeSeams seams;
    auto app = backends.create(backend, seams);
    app->setDisplayAlerts(false);

    const bool needsOne = source.password != QStringLiteral("VelvetSweatshop");
    if (needsOne) {
        const auto missing = thrown<PasswordError>([&] { app->workbooks().Open(source.path); });
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->why(), PasswordError::Why::Needed);
        EXPECT_EQ(missing->number(), err::SpreadsheetFailure);
        EXPECT_TRUE(missing->description().contains(source.path));
    }
    const auto wrong = thrown<PasswordError>([&] { app->workbooks().Open(source.path, source.password + 'x'); });
    EXPECT_EQ(wrong.has_value(), needsOne);
    if (wrong) {
        EXPECT_EQ(wrong->why(), PasswordError::Why::Wrong);
    }

    TempDir protectedDir, plainDir;
    EXPECT_EQ(outputFaults(source, splitAll(*app, source, protectedDir.path()), false).toStdString(), "");
    app->setDecryptOutputs(true);
    EXPECT_EQ(outputFaults(source, splitAll(*app, source, plainDir.path()), true).toStdString(), "");
}


} // namespace bf::test
