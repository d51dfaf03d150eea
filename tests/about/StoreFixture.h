#pragma once
// A configuration store over a private Config.cfg, installed as the program's store for the
// life of the object.
#include "startup/MainProc.h"
#include "support/TempDir.h"

#include <memory>

namespace bf::test {

class StoreFixture {
public:
    explicit StoreFixture(const QString& lines)
    {
        QByteArray bytes("\xFF\xFE", 2); // UTF-16LE with its byte-order mark
        for (QChar c : lines) {
            bytes.append(static_cast<char>(c.unicode() & 0xFF));
            bytes.append(static_cast<char>(c.unicode() >> 8));
        }
        store_ = std::make_unique<clsSetting>(dir_.write("Config.cfg", bytes));
        MainProc::setSetting(store_.get());
    }
    ~StoreFixture() { MainProc::setSetting(nullptr); }
    StoreFixture(const StoreFixture&) = delete;
    StoreFixture& operator=(const StoreFixture&) = delete;

private:
    TempDir dir_;
    std::unique_ptr<clsSetting> store_;
};

} // namespace bf::test
