#pragma once
// The native backend: the spreadsheet application in-process, on the BIFF8 engine of xls/.
#include "automation/SpreadsheetApplication.h"

namespace bf::automation::native {

class NativeWorkbooks;

class NativeApplication : public SpreadsheetApplication {
public:
    NativeApplication();
    ~NativeApplication() override;

    Workbooks& workbooks() override;
    std::shared_ptr<Workbook> ActiveWorkbook() override;

    void setVisible(bool on) override { visible_ = on; }
    bool Visible() const override { return visible_; }
    void setDisplayAlerts(bool on) override { displayAlerts_ = on; }
    bool DisplayAlerts() const override { return displayAlerts_; }
    void setScreenUpdating(bool on) override { screenUpdating_ = on; }
    bool ScreenUpdating() const override { return screenUpdating_; }
    void setAskToUpdateLinks(bool on) override { askToUpdateLinks_ = on; }
    bool AskToUpdateLinks() const override { return askToUpdateLinks_; }
    void setEnableEvents(bool on) override { enableEvents_ = on; }
    bool EnableEvents() const override { return enableEvents_; }
    void Quit() override;

private:
    std::unique_ptr<NativeWorkbooks> workbooks_;
    // Defaults of a freshly started spreadsheet application.
    bool visible_ = false;
    bool displayAlerts_ = true;
    bool screenUpdating_ = true;
    bool askToUpdateLinks_ = true;
    bool enableEvents_ = true;
    bool quit_ = false;
};

} // namespace bf::automation::native
