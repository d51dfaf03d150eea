#pragma once
// A configuration store over a private Config.cfg, installed in a context for the life of the
// object.
#include "startup/AppContext.h"
#include "startup/clsSetting.h"
#include "support/TempDir.h"

#include <memory>

namespace bf::test {

class StoreFixture {
public:
    StoreFixture(AppContext& context, const QString& lines) : context_(context)
    {
        QByteArray bytes("\xFF\xFE", 2); // UTF-16LE with its byte-order mark
        for (QChar c : lines) {
            bytes.append(static_cast<char>(c.unicode() & 0xFF));
            bytes.append(static_cast<char>(c.unicode() >> 8));
        }
        store_ = std::make_unique<clsSetting>(dir_.write("Config.cfg", bytes), context.seams);
        context.setting = store_.get();
    }
    ~StoreFixture() { context_.setting = nullptr; }
    StoreFixture(const StoreFixture&) = delete;
    StoreFixture& operator=(const StoreFixture&) = delete;

private:
    AppContext& context_;
    TempDir dir_;
    std::unique_ptr<clsSetting> store_;
};

} // namespace bf::test
