#pragma once
// The native backend: the spreadsheet application in-process, on the engines of xls/ (.xls)
// and xlsx/ (.xlsx, .xlsm).
#include "automation/Switches.h"
#include "platform/Seams.h"

namespace bf::automation::native {

struct NativeState;
class NativeWorkbooks;

class NativeApplication : public SwitchedApplication {
public:
    // Questions (replace an existing file?) are asked through seams, which must outlive every
    // handle of this application.
    explicit NativeApplication(const platform::Seams& seams);
    ~NativeApplication() override;

    Workbooks& workbooks() override;
    std::shared_ptr<Workbook> ActiveWorkbook() override;

    void Quit() override;
    book::ValuesDrops takeValuesDrops() override;

protected:
    Switches& switches() const override;

private:
    // Shared with every workbook and worksheet handle, so a handle that outlives the
    // application fails cleanly instead of touching freed memory.
    std::shared_ptr<NativeState> state_;
    std::unique_ptr<NativeWorkbooks> workbooks_;
};

} // namespace bf::automation::native
