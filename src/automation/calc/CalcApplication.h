#pragma once
// The LibreOffice Calc backend: the spreadsheet application as an office process of its own,
// driven over UNO through a private pipe. Nothing of UNO shows here, so whoever registers the
// backend needs no UNO headers.
#include "automation/ApplicationFactory.h"
#include "automation/Switches.h"
#include "platform/Seams.h"

#include <chrono>
#include <sys/types.h>

namespace bf::automation::calc {

struct CalcSession;
class CalcWorkbooks;

class CalcApplication : public SwitchedApplication {
public:
    // Starts the office installed in programDir and connects to it. Throws bf::Error (1004)
    // when the office is missing or does not answer. Questions are asked through seams, which
    // must outlive every handle of this application.
    explicit CalcApplication(const platform::Seams& seams, const QString& programDir = defaultProgramDir());
    ~CalcApplication() override;

    Workbooks& workbooks() override;
    std::shared_ptr<Workbook> ActiveWorkbook() override;

    // Shows or hides the windows of the open documents (the office itself starts without any).
    void setVisible(bool on) override;
    // Values in place of links are not offered: the office keeps its link to the source
    // workbook in a copy whatever becomes of the formulas. Error 1004 when asked for.
    void setBreakLinks(bool on) override;
    void Quit() override;

    // How long one call into the office may take before the office is ended as hung and the
    // call fails (error 1004); every later call then fails too. Two minutes by default.
    void setCallTimeout(std::chrono::milliseconds timeout);
    // The id of the office's process group; -1 once the office has been ended.
    pid_t officeProcessGroup() const;
    static QString defaultProgramDir();

protected:
    Switches& switches() const override;

private:
    std::shared_ptr<CalcSession> session_;
    std::unique_ptr<CalcWorkbooks> workbooks_;
};

// Adds the backend under the name "calc".
void addCalcBackend(Backends& backends);

} // namespace bf::automation::calc
