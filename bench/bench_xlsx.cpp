// Figures for the Open XML engine, in-process: listing time, extraction time per worksheet,
// input throughput (compressed and uncompressed) and memory, per workbook.
//
//   bench_xlsx [--reps N] FILE...
//
// Without files it reads every sound workbook of the corpus manifest (MANIFEST-xlsx.tsv);
// bench/make_large_xlsx.py makes the large one. Figures:
//   list      open + worksheet list, best of N runs (reads no sheet part)
//   split     open + every worksheet extracted in memory, best of N; per sheet = that / sheets;
//             MB/s of the input file and of its parts' uncompressed size
//   out/in    total size of the outputs over the size the source gives the same parts
//   peak RSS  VmHWM above the baseline taken before opening (peak reset via clear_refs), each
//             workbook measured in a process of its own; printed beside the input's size
#include "platform/Memory.h"
#include "xlsx/Package.h"
#include "xlsx/XlsxStatus.h"
#include "xlsx/XlsxWorkbook.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

long statusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(key);
    while (std::getline(in, line))
        if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':')
            return std::stol(line.substr(n + 1));
    return -1;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Processor time of this process: on a machine shared with builds the wall clock can lie.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

struct Figures {
    double list = 1e9, split = 1e9, splitCpu = 1e9;
    int sheets = 0;
    double outputBytes = 0;
};

Figures measure(const QString& path, int reps)
{
    Figures f;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = Clock::now();
        const auto sheets = bf::xlsx::XlsxWorkbook::open(path)->worksheets(); // closed again: one copy held below
        f.list = std::min(f.list, seconds(Clock::now() - t0));
        double out = 0;
        const auto t1 = Clock::now();
        const double c1 = cpuSeconds();
        auto again = bf::xlsx::XlsxWorkbook::open(path);
        for (const auto& s : sheets)
            out += double(again->extract(s.index).size());
        f.split = std::min(f.split, seconds(Clock::now() - t1));
        f.splitCpu = std::min(f.splitCpu, cpuSeconds() - c1);
        f.sheets = int(sheets.size());
        f.outputBytes = out;
    }
    return f;
}

QStringList corpusFiles()
{
    QStringList files;
    const QString dir = QStringLiteral(BRAKENFOLD_CORPUS_DIR "/xlsx/");
    QFile manifest(dir + QStringLiteral("MANIFEST-xlsx.tsv"));
    if (!manifest.open(QIODevice::ReadOnly))
        return files;
    manifest.readLine();
    while (!manifest.atEnd()) {
        const QList<QByteArray> cols = manifest.readLine().split('\t');
        if (cols.size() > 5 && (cols[5] == "xlsx" || cols[5] == "xlsm"))
            files << dir + QString::fromUtf8(cols[0]);
    }
    return files;
}

// One line of figures for one workbook; the peak is taken above this process's size before
// the workbook is first opened.
void report(const QString& path, int reps)
{
    const long base = statusKb("VmRSS");
    resetPeak();
    try {
        const double input = double(QFileInfo(path).size());
        double xml = 0;
        for (const auto& e : bf::xlsx::XlsxWorkbook::open(path)->package().entries())
            xml += double(e.size);
        const Figures f = measure(path, reps);
        const long peak = statusKb("VmHWM") - base;
        std::printf("%-40s %6d %8.2f %8.3f %8.3f %9.2f %8.1f %8.1f %8.1f %7.2f %8.1f %8.2f\n",
                    QFileInfo(path).fileName().left(40).toLocal8Bit().constData(), f.sheets,
                    f.list * 1e3, f.split, f.splitCpu, f.split * 1e3 / std::max(1, f.sheets),
                    input / 1e6 / f.split, input / 1e6 / f.splitCpu, xml / 1e6 / f.split,
                    f.outputBytes / input, peak / 1024.0, input / 1e6);
    } catch (const bf::xlsx::XlsxError& e) {
        std::printf("%-48s refused: %s\n", QFileInfo(path).fileName().toLocal8Bit().constData(), e.what());
    }
}

} // namespace

int main(int argc, char** argv)
{
    bf::platform::reuseLargeBuffers();
    int reps = 3;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else
            files << QString::fromLocal8Bit(argv[i]);
    }
    if (files.isEmpty())
        files = corpusFiles();
    std::printf("%-40s %6s %8s %8s %8s %9s %8s %8s %8s %7s %8s %8s\n", "workbook", "sheets", "list ms",
                "split s", "cpu s", "ms/sheet", "MB/s in", "cpu MB/s", "MB/s xml", "out/in", "peak MB", "in MB");
    std::fflush(stdout);
    for (const QString& path : files) {
        // Each workbook in a process of its own, so that its peak is its own.
        const pid_t child = fork();
        if (child == 0) {
            report(path, reps);
            std::fflush(stdout);
            _exit(0);
        }
        int status = 0;
        if (child > 0)
            waitpid(child, &status, 0);
    }
    return 0;
}
