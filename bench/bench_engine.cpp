// Figures for the native engine, in-process: listing time, extraction time per worksheet, input
// throughput and memory, per workbook and in total.
//
//   bench_engine [--reps N] [FILE...]
//
// Without files it reads every sound BIFF8 workbook listed in the corpus manifest; bench/run.sh
// adds the large generated workbook. Figures:
//   list      open + worksheet list, best of N runs (the engine reads the globals only)
//   extract   open + every worksheet extracted to an in-memory file, best of N runs; per
//             worksheet = that time / number of worksheets; MB/s = input size / that time
//   write     the same but each worksheet written to a new file in a temporary folder, once
//   peak RSS  VmHWM above the VmRSS baseline taken just before opening (peak reset through
//             /proc/self/clear_refs), for one open + extract-all
//   heap      malloc'd bytes in use (mallinfo2 uordblks) above the baseline while the workbook
//             is open, after listing
#include "platform/NewFile.h"
#include "xls/XlsStatus.h"
#include "xls/XlsWorkbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// Processor time of this process: on a machine shared with builds the wall clock can lie.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// A value in kB from /proc/self/status ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(key);
    while (std::getline(in, line)) {
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::stol(line.substr(n + 1));
    }
    return -1;
}

// Resets VmHWM to the current RSS (Linux 4.0 and later); false when the kernel refuses.
bool resetPeakRss()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return bool(out);
}

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

QStringList manifestWorkbooks(const QString& corpus)
{
    QStringList files;
    QFile f(corpus + "/MANIFEST.tsv");
    if (!f.open(QIODevice::ReadOnly))
        return files;
    QTextStream in(&f);
    bool header = true;
    while (!in.atEnd()) {
        const QStringList cols = in.readLine().split('\t');
        if (header) {
            header = false;
            continue;
        }
        if (cols.size() > 5 && cols[5] == "biff8")
            files << corpus + "/" + cols[0];
    }
    return files;
}

struct Figures {
    QString name;
    double mb = 0;
    int worksheets = 0;
    double list = 0;       // s
    double extractAll = 0; // s
    double extractCpu = 0; // s of processor time in the best extract-all run
    double slowestSheet = 0;
    double writeAll = 0;   // s
    long peakRssKb = -1;
    double peakPerInput = 0; // largest peak RSS / input size of any one workbook
    double heapOpenMb = 0;
    QString error;
};

Figures measure(const QString& path, int reps, const QString& tempDir)
{
    Figures f;
    f.name = QFileInfo(path).fileName();
    f.mb = double(QFileInfo(path).size()) / (1024.0 * 1024.0);
    try {
        // Listing.
        double best = 1e9;
        for (int i = 0; i < reps; ++i) {
            const auto t0 = Clock::now();
            auto wb = bf::xls::XlsWorkbook::open(path);
            const auto ws = wb->worksheets();
            best = std::min(best, seconds(Clock::now() - t0));
            f.worksheets = int(ws.size());
        }
        f.list = best;

        // Heap held by an open workbook.
        malloc_trim(0);
        {
            const std::size_t base = heapInUse();
            auto wb = bf::xls::XlsWorkbook::open(path);
            (void)wb->worksheets();
            f.heapOpenMb = double(heapInUse() - std::min(heapInUse(), base)) / (1024.0 * 1024.0);
        }

        // Extraction of every worksheet to memory, and the slowest single worksheet.
        best = 1e9;
        for (int i = 0; i < reps; ++i) {
            const auto t0 = Clock::now();
            const double c0 = cpuSeconds();
            auto wb = bf::xls::XlsWorkbook::open(path);
            double slowest = 0;
            for (const auto& s : wb->worksheets()) {
                const auto t1 = Clock::now();
                const QByteArray bytes = wb->extract(s.index);
                slowest = std::max(slowest, seconds(Clock::now() - t1));
                if (bytes.isEmpty())
                    throw std::runtime_error("empty extraction of " + s.name.toStdString());
            }
            const double t = seconds(Clock::now() - t0);
            if (t < best) {
                best = t;
                f.slowestSheet = slowest;
                f.extractCpu = cpuSeconds() - c0;
            }
        }
        f.extractAll = best;

        // Peak resident memory of one open + extract-all.
        malloc_trim(0);
        if (resetPeakRss()) {
            const long base = statusKb("VmRSS");
            {
                auto wb = bf::xls::XlsWorkbook::open(path);
                for (const auto& s : wb->worksheets())
                    (void)wb->extract(s.index);
            }
            const long peak = statusKb("VmHWM");
            if (base >= 0 && peak >= 0) {
                f.peakRssKb = std::max(0L, peak - base);
                f.peakPerInput = f.peakRssKb / 1024.0 / std::max(f.mb, 1e-9);
            }
        }

        // The same, through the file-writing path the command line uses.
        QDir dir(tempDir);
        dir.mkpath(f.name);
        const auto t0 = Clock::now();
        auto wb = bf::xls::XlsWorkbook::open(path);
        int n = 0;
        for (const auto& s : wb->worksheets())
            bf::platform::writeNewFile(dir.filePath(f.name + "/" + QString::number(n++) + ".xls"),
                                       wb->extract(s.index), false);
        f.writeAll = seconds(Clock::now() - t0);
    } catch (const bf::xls::XlsError& e) {
        f.error = QString("%1: %2").arg(bf::xls::toText(e.status()), e.detail());
    } catch (const std::exception& e) {
        f.error = QString("exception: %1").arg(e.what());
    }
    return f;
}

void printRow(const Figures& f)
{
    if (!f.error.isEmpty()) {
        std::printf("%-44.44s %7.2f  FAILED %s\n", qPrintable(f.name), f.mb, qPrintable(f.error));
        return;
    }
    const double perSheet = f.worksheets ? f.extractAll / f.worksheets : 0;
    std::printf("%-44.44s %7.2f %4d %9.3f %9.1f %9.3f %9.3f %8.1f %8.1f %8.1f %9.1f %8.1f %7.2f\n",
                qPrintable(f.name), f.mb, f.worksheets, f.list * 1e3, f.mb / f.list,
                perSheet * 1e3, f.slowestSheet * 1e3, f.mb / f.extractAll,
                f.extractCpu > 0 ? f.mb / f.extractCpu : 0.0,
                f.writeAll > 0 ? f.mb / f.writeAll : 0.0, f.peakRssKb / 1024.0,
                f.peakPerInput, f.heapOpenMb);
}

} // namespace

int main(int argc, char** argv)
{
    int reps = 5;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else
            files << QString::fromLocal8Bit(argv[i]);
    }
    if (files.isEmpty())
        files = manifestWorkbooks(QStringLiteral(BRAKENFOLD_CORPUS_DIR));
    if (files.isEmpty()) {
        std::fprintf(stderr, "no workbooks: corpus manifest not found under %s\n", BRAKENFOLD_CORPUS_DIR);
        return 2;
    }
    QTemporaryDir temp;
    if (!temp.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 2;
    }

    std::printf("list = open + worksheet list (best of %d); extract = open + all worksheets to memory "
                "(best of %d); write = the same to new files, once\n", reps, reps);
    std::printf("cpu MB/s = input size / processor time of that best extract run\n");
    std::printf("peak RSS = VmHWM above VmRSS before opening (/proc/self/status); heap = mallinfo2 "
                "bytes in use while the workbook is open\n\n");
    std::printf("%-44s %7s %4s %9s %9s %9s %9s %8s %8s %8s %9s %8s %7s\n", "workbook", "MB", "ws",
                "list ms", "list MB/s", "ms/sheet", "max ms", "ext MB/s", "cpu MB/s", "wr MB/s",
                "peak MB", "peak/in", "heap MB");
    Figures total;
    total.name = "TOTAL";
    int failures = 0;
    for (const QString& path : files) {
        const Figures f = measure(path, reps, temp.path());
        printRow(f);
        if (!f.error.isEmpty()) {
            ++failures;
            continue;
        }
        total.mb += f.mb;
        total.worksheets += f.worksheets;
        total.list += f.list;
        total.extractAll += f.extractAll;
        total.extractCpu += f.extractCpu;
        total.writeAll += f.writeAll;
        total.slowestSheet = std::max(total.slowestSheet, f.slowestSheet);
        total.peakRssKb = std::max(total.peakRssKb, f.peakRssKb);
        total.peakPerInput = std::max(total.peakPerInput, f.peakPerInput);
        total.heapOpenMb = std::max(total.heapOpenMb, f.heapOpenMb);
    }
    if (files.size() > 1 && total.extractAll > 0) {
        std::printf("%s\n", std::string(150, '-').c_str());
        printRow(total);
        std::printf("(TOTAL: sums of times and sizes; peak, peak/in and heap are the largest single figures)\n");
    }
    if (failures)
        std::printf("%d workbook(s) failed\n", failures);
    return failures ? 1 : 0;
}
