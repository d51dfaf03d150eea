#include "automation/native/NativeApplication.h"

#include "startup/BfError.h"

#include <vector>

namespace bf::automation::native {

// The open workbooks in the order they became open; the last one is the active one.
// Opening and copying workbooks arrive with the engine; until then Open refuses.
class NativeWorkbooks : public Workbooks {
public:
    std::shared_ptr<Workbook> Open(const QString& fileName) override
    {
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("'%1' could not be opened: the workbook engine is not available").arg(fileName));
    }
    int Count() const override { return static_cast<int>(open_.size()); }
    void Close() override
    {
        while (!open_.empty()) {
            auto last = open_.back();
            last->Close(false);
            if (!open_.empty() && open_.back() == last)
                open_.pop_back();
        }
    }
    std::shared_ptr<Workbook> active() const { return open_.empty() ? nullptr : open_.back(); }

private:
    std::vector<std::shared_ptr<Workbook>> open_;
};

NativeApplication::NativeApplication() : workbooks_(std::make_unique<NativeWorkbooks>()) {}
NativeApplication::~NativeApplication() = default;

Workbooks& NativeApplication::workbooks()
{
    if (quit_)
        throw Error(err::SpreadsheetFailure, QStringLiteral("the spreadsheet application has quit"));
    return *workbooks_;
}

std::shared_ptr<Workbook> NativeApplication::ActiveWorkbook() { return workbooks_->active(); }

void NativeApplication::Quit()
{
    workbooks_->Close();
    quit_ = true;
}

} // namespace bf::automation::native
