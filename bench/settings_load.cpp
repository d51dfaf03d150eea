// Figures for the configuration store: the time to read Config.cfg and write it back, for files
// of many keys (the store reads each key in constant time, so the time grows with the size).
//
//   settings_load [KEYS...]      default: 1000 80000 2000000
#include "platform/Seams.h"
#include "startup/clsSetting.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
class SilentBox : public bf::platform::MessageBoxSeam {
public:
    bf::platform::MsgResult show(const QString& text, bf::platform::MsgButtons, bf::platform::MsgIcon,
                                 bf::platform::MsgDefault) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return bf::platform::MsgResult::Ok;
    }
};

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::atol(argv[i]));
    if (counts.empty())
        counts = {1000, 80000, 2000000};
    SilentBox box;
    bf::platform::Seams seams;
    seams.messageBox = &box;
    QTemporaryDir dir;
    std::printf("%10s %10s %10s %10s\n", "keys", "MB", "read s", "write s");
    for (const long n : counts) {
        QString text;
        for (long k = 0; k < n; ++k)
            text += QStringLiteral("Key%1=value %1\r\n").arg(k);
        QByteArray bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        const QString path = dir.filePath(QStringLiteral("Config.cfg"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();
        auto start = std::chrono::steady_clock::now();
        auto store = std::make_unique<bf::clsSetting>(path, seams);
        const double read = secondsSince(start);
        store->SetSetting(QStringLiteral("Key0"), QStringLiteral("changed"));
        start = std::chrono::steady_clock::now();
        store.reset();
        std::printf("%10ld %10.1f %10.3f %10.3f\n", n, bytes.size() / 1e6, read, secondsSince(start));
    }
    return 0;
}
