#pragma once
// A split run on the scripted spreadsheet application: fake seams, a private configuration, a task
// list, a recording view and an output folder the chooser answers with; the clock stands still.
#include "split/SplitRun.h"
#include "support/ConfigFixture.h"
#include "support/FakeSeams.h"
#include "support/FakeSpreadsheet.h"
#include "support/RecordingSplitView.h"
#include "support/RunProgram.h"
#include "tasklist/InMemoryTaskRows.h"

#include <gtest/gtest.h>

namespace bf::test {

struct SplitFixture {
    static inline const QString kStamp = QStringLiteral("2008723957"); // the clock's time stamp

    explicit SplitFixture(const QStringList& configLines = standardConfigLines()) : config{context, configLines}
    {
        context.clock = [] { return QDateTime(QDate(2008, 7, 23), QTime(9, 5, 7)); };
        context.application = &app;
        seams.folderChooser.answers = {out.path()};
    }
    QString runFolder() const { return out.path() + '/' + kStamp + '/'; }
    QString output(const QString& folder, const QString& sheet) const
    {
        return runFolder() + folder + '/' + sheet + "_Splitted_at_" + kStamp + ".xls";
    }
    // A row per sheet; with visibilities, each row's sheet facts too.
    void add(const QString& path, const QStringList& sheets, const std::vector<book::Visibility>& visibilities = {})
    {
        app.addWorkbook(path, sheets);
        for (int i = 0; i < sheets.size(); ++i) {
            rows.addRow(path, sheets[i]);
            if (!visibilities.empty())
                rows.setSheetFacts(rows.rowCount(), {i + 1, visibilities[std::size_t(i)]});
        }
    }
    QString split(const split::SplitOptions* options = nullptr)
    {
        return split::RunSplit(context, rows, view, QStringLiteral("mnuSplit_Click"), nullptr, options);
    }
    // Every file under the chosen output folder, sorted, as full paths.
    QStringList files() const
    {
        QStringList paths;
        for (const QString& f : filesUnder(out.path()))
            paths << out.file(f);
        return paths;
    }
    QStringList messages() const { return seams.messageBox.texts(); }
    void expectIdle() const
    {
        EXPECT_FALSE(view.now.visible || view.now.busy);
        EXPECT_EQ(view.now.value, view.now.minimum);
        EXPECT_TRUE(app.EnableEvents());
        ASSERT_FALSE(view.frames.empty()); // the last frame painted, the one behind any report
        EXPECT_FALSE(view.frames.back().visible || view.frames.back().busy);
    }

    FakeSeams seams;
    AppContext context{seams};
    InstalledConfig config;
    FakeSpreadsheet app;
    tasklist::InMemoryTaskRows rows;
    RecordingSplitView view;
    TempDir out;
};

} // namespace bf::test
