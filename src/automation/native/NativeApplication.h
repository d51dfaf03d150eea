#pragma once
// The native backend: the spreadsheet application in-process, on the BIFF8 engine of xls/.
#include "automation/SpreadsheetApplication.h"
#include "platform/Seams.h"

namespace bf::automation::native {

struct NativeState;
class NativeWorkbooks;

class NativeApplication : public SpreadsheetApplication {
public:
    // Questions (replace an existing file?) are asked through seams, which must outlive every
    // handle of this application.
    explicit NativeApplication(const platform::Seams& seams);
    ~NativeApplication() override;

    Workbooks& workbooks() override;
    std::shared_ptr<Workbook> ActiveWorkbook() override;

    void setVisible(bool on) override;
    bool Visible() const override;
    void setDisplayAlerts(bool on) override;
    bool DisplayAlerts() const override;
    void setScreenUpdating(bool on) override;
    bool ScreenUpdating() const override;
    void setAskToUpdateLinks(bool on) override;
    bool AskToUpdateLinks() const override;
    void setEnableEvents(bool on) override;
    bool EnableEvents() const override;
    void Quit() override;

private:
    // Shared with every workbook and worksheet handle, so a handle that outlives the
    // application fails cleanly instead of touching freed memory.
    std::shared_ptr<NativeState> state_;
    std::unique_ptr<NativeWorkbooks> workbooks_;
};

} // namespace bf::automation::native
