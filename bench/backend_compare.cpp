// The two backends side by side on the same workbooks: start-up time of the spreadsheet
// application, and the time to split each worksheet (copy into a new workbook, save, close),
// driven through the interface exactly as a split run drives it. The outputs are kept, one
// folder per backend, for the fidelity comparison (bench/backend_fidelity.py).
// Usage: backend_compare [--sheets N] OUTPUT_DIR [WORKBOOK...]
//   (default: every sound BIFF8 corpus workbook; --sheets: only the first N worksheets of each)
// The calc backend is measured only when the program was built with it; then the last line gives
// how many times faster the native backend is per worksheet: the medians of copy, save and close,
// and the whole time with the workbooks' opening shared among their worksheets.
#include "automation/ApplicationFactory.h"
#include "automation/SpreadsheetApplication.h"
#include "platform/Memory.h"
#include "platform/Seams.h"
#ifdef BRAKENFOLD_HAVE_CALC
#include "automation/calc/CalcApplication.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace {

using namespace bf;

class NoQuestions : public platform::MessageBoxSeam {
public:
    platform::MsgResult show(const QString& text, platform::MsgButtons, platform::MsgIcon, platform::MsgDefault) override
    {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        return platform::MsgResult::No;
    }
};

QStringList soundCorpusWorkbooks()
{
    QStringList files;
    QFile f(QStringLiteral(BRAKENFOLD_CORPUS_DIR "/MANIFEST.tsv"));
    if (!f.open(QIODevice::ReadOnly))
        return files;
    const QStringList lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList c = lines[i].split('\t');
        if (c.size() > 5 && c[5] == QLatin1String("biff8"))
            files << QStringLiteral(BRAKENFOLD_CORPUS_DIR "/") + c[0];
    }
    return files;
}

struct Figures {
    double startupMs = 0;
    std::vector<double> sheetMs;
    double openMs = 0; // opening the workbooks, all of them
    int failures = 0;
    int restarts = 0;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The backends to measure and the seams they ask through.
struct Bench {
    automation::Backends backends;
    platform::Seams seams;
};

std::unique_ptr<automation::SpreadsheetApplication> start(const Bench& bench, const QString& backend, Figures& fig)
{
    QElapsedTimer t;
    t.start();
    auto app = bench.backends.create(backend, bench.seams);
    app->setDisplayAlerts(false);
    app->setAskToUpdateLinks(false);
#ifdef BRAKENFOLD_HAVE_CALC
    // A hung export ends the office; the next workbook gets a fresh one.
    if (auto* calc = dynamic_cast<automation::calc::CalcApplication*>(app.get()))
        calc->setCallTimeout(std::chrono::seconds(30));
#endif
    fig.startupMs = fig.startupMs == 0 ? t.nsecsElapsed() / 1e6 : fig.startupMs;
    return app;
}

Figures run(const Bench& bench, const QString& backend, const QStringList& workbooks, const QString& outBase,
            int sheetLimit)
{
    Figures fig;
    auto app = start(bench, backend, fig);
    int index = 0;
    for (const QString& path : workbooks) {
        const QString folder = QDir(outBase).filePath(backend + QStringLiteral("/w%1").arg(index++, 2, 10, QLatin1Char('0')));
        QDir().mkpath(folder);
        QFile::remove(folder + QStringLiteral("/SOURCE"));
        QFile::link(path, folder + QStringLiteral("/SOURCE"));
        try {
            QElapsedTimer opening;
            opening.start();
            auto book = app->workbooks().Open(path);
            fig.openMs += opening.nsecsElapsed() / 1e6;
            int s = 0;
            const QString suffix = QFileInfo(path).suffix().toLower() == QLatin1String("xls")
                ? QStringLiteral(".xls") : QStringLiteral(".xlsx");
            for (const auto& sheet : book->Worksheets()) {
                if (s == sheetLimit)
                    break;
                const QString out = QDir(folder).filePath(QStringLiteral("s%1").arg(s++, 2, 10, QLatin1Char('0')) + suffix);
                QElapsedTimer t;
                t.start();
                try {
                    sheet->Copy();
                    app->ActiveWorkbook()->SaveAs(out + QLatin1Char(' '));
                    app->ActiveWorkbook()->Close(false);
                    fig.sheetMs.push_back(t.nsecsElapsed() / 1e6);
                    QFile names(folder + QStringLiteral("/names.txt"));
                    if (names.open(QIODevice::Append))
                        names.write((QFileInfo(out).fileName() + '\t' + sheet->Name() + '\n').toUtf8());
                } catch (const std::exception& e) {
                    ++fig.failures;
                    std::fprintf(stderr, "%s %s / %s: %s\n", backend.toLatin1().constData(),
                                 QFileInfo(path).fileName().toLocal8Bit().constData(),
                                 sheet->Name().toLocal8Bit().constData(), e.what());
                    // The rest of this workbook goes with an office that was ended.
                    throw;
                }
            }
            app->workbooks().Close();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s %s: %s (starting the application again)\n", backend.toLatin1().constData(),
                         QFileInfo(path).fileName().toLocal8Bit().constData(), e.what());
            // An office ended by the watchdog cannot go on: start another.
            try {
                app->workbooks().Close();
                app->Quit();
            } catch (const std::exception&) {
            }
            app = start(bench, backend, fig);
            ++fig.restarts;
        }
    }
    app->workbooks().Close();
    app->Quit();
    return fig;
}

double total(const Figures& f)
{
    double sum = f.openMs;
    for (double ms : f.sheetMs)
        sum += ms;
    return sum;
}

void print(const char* backend, const Figures& f)
{
    const double n = double(std::max<std::size_t>(1, f.sheetMs.size()));
    std::printf("%-7s start-up %10.3f ms | %4zu worksheets split, %d failed, %d restarts | per worksheet: median %7.1f ms, max %8.1f ms, with the opening %7.1f ms | open %8.1f s, total %8.1f s\n",
                backend, f.startupMs, f.sheetMs.size(), f.failures, f.restarts, median(f.sheetMs),
                f.sheetMs.empty() ? 0.0 : *std::max_element(f.sheetMs.begin(), f.sheetMs.end()),
                total(f) / n, f.openMs / 1000, total(f) / 1000);
}

} // namespace

int main(int argc, char** argv)
{
    bf::platform::reuseLargeBuffers();
    QCoreApplication qapp(argc, argv);
    NoQuestions box;
    Bench bench;
    bench.seams.messageBox = &box;
    int sheetLimit = -1;
    int first = 1;
    if (argc > 3 && std::strcmp(argv[1], "--sheets") == 0) {
        sheetLimit = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (argc <= first) {
        std::fprintf(stderr, "usage: backend_compare [--sheets N] OUTPUT_DIR [WORKBOOK...]\n");
        return 2;
    }
    const QString outBase = QFileInfo(QString::fromLocal8Bit(argv[first])).absoluteFilePath();
    QStringList workbooks;
    for (int i = first + 1; i < argc; ++i)
        workbooks << QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
    if (workbooks.isEmpty())
        workbooks = soundCorpusWorkbooks();
    std::printf("%lld workbooks\n", static_cast<long long>(workbooks.size()));
    const Figures native = run(bench, QStringLiteral("native"), workbooks, outBase, sheetLimit);
    print("native", native);
#ifdef BRAKENFOLD_HAVE_CALC
    automation::calc::addCalcBackend(bench.backends);
    const Figures calc = run(bench, QStringLiteral("calc"), workbooks, outBase, sheetLimit);
    print("calc", calc);
    if (median(native.sheetMs) > 0 && !native.sheetMs.empty() && !calc.sheetMs.empty())
        std::printf("native per worksheet: %.0f times faster (medians of copy, save and close), %.0f times with the opening\n",
                    median(calc.sheetMs) / median(native.sheetMs),
                    (total(calc) / double(calc.sheetMs.size())) / (total(native) / double(native.sheetMs.size())));
#else
    std::printf("calc    not built\n");
#endif
    return 0;
}
