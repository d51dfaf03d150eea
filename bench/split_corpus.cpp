// Whole-corpus split speed: every sound workbook of the corpus listed into one task list, then
// split in one run, several times over. Prints the time of a run, per worksheet and per megabyte
// of input, in wall-clock and in process CPU time: every output file is flushed to the disk
// before it gets its name, so on a real disk the wall time is mostly waiting for the disk.
// Usage: split_corpus [RUNS] [OUTPUT_BASE] [CORPUS_DIR]
// OUTPUT_BASE: where the run folders go (default: the system's temporary folder); a memory file
// system such as /dev/shm shows the engine's speed without the disk.
#include "automation/ApplicationFactory.h"
#include "automation/SpreadsheetApplication.h"
#include "platform/Seams.h"
#include "split/SplitRun.h"
#include "split/SplitView.h"
#include "startup/AppContext.h"
#include "tasklist/InMemoryTaskRows.h"
#include "tasklist/TaskListCommands.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using namespace bf;

class PrintingBox : public platform::MessageBoxSeam {
public:
    platform::MsgResult show(const QString& text, platform::MsgButtons, platform::MsgIcon, platform::MsgDefault) override
    {
        if (text != QLatin1String("Mission complete!")) {
            std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
            ++failures;
        }
        return platform::MsgResult::Ok;
    }
    int failures = 0;
};

class Chooser : public platform::FolderChooserSeam {
public:
    QString browseForFolder(const QString&) override { return folder; }
    QString folder;
};

class NoShell : public platform::ShellSeam {
public:
    bool open(const QString&, platform::OpenFailed) override { return false; }
    bool openFolder(const QString&, platform::OpenFailed) override { return true; }
    bool startProgram(const QString&, const QStringList&) override { return false; }
};

class Info : public platform::AppInfoSeam {
public:
    QString path() const override { return QDir::currentPath(); }
    QString title() const override { return QStringLiteral("Brakenfold"); }
    int major() const override { return 1; }
    int minor() const override { return 0; }
    int revision() const override { return 5; }
    QString helpFile() const override { return {}; }
    void setHelpFile(const QString&) override {}
};

class NullView : public split::SplitView {
public:
    void setCaption(const QString&) override {}
    void setProgressVisible(bool v) override { visible_ = v; }
    void setProgressMinimum(float v) override { min_ = v; }
    void setProgressMaximum(float v) override { max_ = v; }
    void setProgressValue(float v) override { value_ = v; }
    float progressMinimum() const override { return min_; }
    float progressMaximum() const override { return max_; }
    float progressValue() const override { return value_; }
    bool progressVisible() const override { return visible_; }
    void setBusyPointer(bool) override {}
    void repaintNow() override {}

private:
    bool visible_ = false;
    float min_ = 0, max_ = 100, value_ = 0;
};

// The workbooks the corpus manifest calls sound BIFF8.
QStringList soundWorkbooks(const QString& corpus)
{
    QStringList files;
    QFile manifest(corpus + QStringLiteral("/MANIFEST.tsv"));
    if (!manifest.open(QIODevice::ReadOnly))
        return files;
    const QStringList lines = QString::fromUtf8(manifest.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList cols = lines[i].split('\t');
        if (cols.size() > 5 && cols[5] == QLatin1String("biff8"))
            files << corpus + '/' + cols[0];
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString outputBase = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    const QString corpus = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral(BRAKENFOLD_CORPUS_DIR);

    PrintingBox box;
    Chooser chooser;
    NoShell shell;
    Info info;
    platform::Seams s;
    s.messageBox = &box;
    s.folderChooser = &chooser;
    s.shell = &shell;
    s.appInfo = &info;

    auto app = automation::Backends().create(QString(), s);
    app->setDisplayAlerts(false);
    AppContext context(s);
    context.application = app.get();

    const QStringList workbooks = soundWorkbooks(corpus);
    if (workbooks.isEmpty()) {
        std::fprintf(stderr, "no sound workbooks found under %s\n", corpus.toLocal8Bit().constData());
        return 1;
    }
    tasklist::InMemoryTaskRows rows;
    QElapsedTimer listing;
    listing.start();
    for (const QString& wb : workbooks)
        tasklist::UpdateListView(context, rows, wb);
    const double listSeconds = static_cast<double>(listing.nsecsElapsed()) / 1e9;
    qint64 bytes = 0;
    for (const QString& wb : workbooks)
        bytes += QFileInfo(wb).size();
    const double megabytes = static_cast<double>(bytes) / (1024.0 * 1024.0);

    std::vector<double> seconds, cpuSeconds;
    NullView view;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir out(outputBase + QStringLiteral("/split-bench-XXXXXX"));
        if (!out.isValid()) {
            std::fprintf(stderr, "cannot make a folder under %s\n", outputBase.toLocal8Bit().constData());
            return 1;
        }
        chooser.folder = out.path();
        QElapsedTimer t;
        t.start();
        const std::clock_t cpuStart = std::clock();
        const QString runFolder = split::RunSplit(context, rows, view);
        cpuSeconds.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        seconds.push_back(static_cast<double>(t.nsecsElapsed()) / 1e9);
        if (runFolder.isEmpty() || box.failures) {
            std::fprintf(stderr, "run %d failed\n", run + 1);
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpuSeconds.begin(), cpuSeconds.end());
    const double cpuMedian = cpuSeconds[cpuSeconds.size() / 2];
    const double best = seconds.front();
    const double median = seconds[seconds.size() / 2];
    const int sheets = rows.rowCount();

    std::printf("output under: %s\n", outputBase.toLocal8Bit().constData());
    std::printf("corpus: %lld workbooks, %d worksheets, %.2f MB of input\n",
                static_cast<long long>(workbooks.size()), sheets, megabytes);
    std::printf("listing all workbooks: %.3f s\n", listSeconds);
    std::printf("split run (%d runs): best %.3f s, median %.3f s\n", runs, best, median);
    std::printf("per worksheet: best %.3f ms, median %.3f ms\n", best * 1000.0 / sheets, median * 1000.0 / sheets);
    std::printf("input throughput: best %.1f MB/s, median %.1f MB/s\n", megabytes / best, megabytes / median);
    std::printf("process CPU time of a run (median): %.3f s, %.3f ms per worksheet, %.1f MB/s\n", cpuMedian,
                cpuMedian * 1000.0 / sheets, megabytes / cpuMedian);

    app->workbooks().Close();
    app->Quit();
    return 0;
}
