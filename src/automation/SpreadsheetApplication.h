#pragma once
// The spreadsheet application: the operations the program performs on it, shaped like the
// object model of a spreadsheet program's automation. Two backends implement it: the native one
// (automation/native/, in-process on xls/ and xlsx/) and the LibreOffice Calc one (automation/calc/).
// Every failure is a bf::Error with the numbers of core/Error.h; a description names the
// file and the reason.
//
// Handles are shared pointers: a workbook or worksheet handle outlives a Close, and any use of a
// closed one fails with error 1004 instead of touching freed memory.
#include "core/Error.h"
#include "book/Sheets.h"
#include "book/ValuesDrops.h"

#include <QString>
#include <memory>
#include <vector>

namespace bf::automation {

// A password-protected workbook that its password did not open: Needed when none was given,
// Wrong when the one given failed (callers ask again), Cancelled when the user gave none. The
// number is 1004 as for any workbook that cannot be opened.
class PasswordError : public Error {
public:
    enum class Why { Needed, Wrong, Cancelled };
    PasswordError(Why why, const QString& description) : Error(err::SpreadsheetFailure, description), why_(why) {}
    Why why() const { return why_; }

private:
    Why why_;
};

class Worksheet {
public:
    virtual ~Worksheet() = default;
    virtual QString Name() const = 0;
    // Shown, hidden or very hidden, as the workbook says (a backend that cannot tell very hidden
    // from hidden says hidden).
    virtual book::Visibility Visibility() const = 0;
    // Copies the sheet into a new, unsaved workbook holding only that sheet; the new workbook
    // becomes the active one.
    virtual void Copy() = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    // The absolute path formed from the path given to Open (links not resolved); for a new
    // workbook not yet saved, its Name.
    virtual QString FullName() const = 0;
    // File name with extension ("Book1" style for a new, unsaved workbook).
    virtual QString Name() const = 0;
    // The worksheets in sheet order (no chart, macro or dialog sheets; hidden ones included).
    virtual std::vector<std::shared_ptr<Worksheet>> Worksheets() = 0;
    // The worksheet of that name (exact); error 9 when there is none.
    virtual std::shared_ptr<Worksheet> WorksheetByName(const QString& name) = 0;
    // Writes the workbook under fileName, its trailing blanks trimmed (no file name ends in one).
    // An existing file is never silently replaced: with DisplayAlerts on the user is asked (No is
    // the default); otherwise, or on No, the save fails with error 1004.
    virtual void SaveAs(const QString& fileName) = 0;
    // Closes without saving (saveChanges is always false in this program); the workbook that
    // was active before this one becomes active again.
    virtual void Close(bool saveChanges = false) = 0;
};

class Workbooks {
public:
    virtual ~Workbooks() = default;
    // Opens the file (or activates it when that path is already open); it becomes active. A
    // password-protected workbook is opened with the default password, else with `password`
    // (PasswordError when neither opens it); the copies of its sheets are saved protected with
    // the same password unless DecryptOutputs is on.
    virtual std::shared_ptr<Workbook> Open(const QString& fileName, const QString& password = QString()) = 0;
    virtual int Count() const = 0;
    // Closes every open workbook without saving.
    virtual void Close() = 0;
};

class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;

    virtual Workbooks& workbooks() = 0;
    // The workbook last opened or created and still open; nullptr when none is open.
    virtual std::shared_ptr<Workbook> ActiveWorkbook() = 0;

    virtual void setVisible(bool on) = 0;
    virtual bool Visible() const = 0;
    virtual void setDisplayAlerts(bool on) = 0;
    virtual bool DisplayAlerts() const = 0;
    virtual void setScreenUpdating(bool on) = 0;
    virtual bool ScreenUpdating() const = 0;
    virtual void setAskToUpdateLinks(bool on) = 0;
    virtual bool AskToUpdateLinks() const = 0;
    virtual void setEnableEvents(bool on) = 0;
    virtual bool EnableEvents() const = 0;
    // Saves the copies of password-protected workbooks without protection (off at start).
    virtual void setDecryptOutputs(bool on) = 0;
    virtual bool DecryptOutputs() const = 0;
    // Copies of a sheet hold the values of the formulas that read other sheets in place of
    // links to the source workbook. Off when the application starts.
    virtual void setBreakLinks(bool on) = 0;
    virtual bool BreakLinks() const = 0;
    // What the last Copy() left out with values on (what could not become values), taken once.
    virtual book::ValuesDrops takeValuesDrops() { return {}; }

    // Ends the application; nothing may be called afterwards but the destructor.
    virtual void Quit() = 0;
};

} // namespace bf::automation
