#pragma once
// What the program's routines work with: the seams, the configuration store, the spreadsheet
// application and the clock. Main makes one and hands it down to the windows, the task list and
// the split run; the command line and the tests make their own. Nothing reaches these through a
// global.
#include "platform/Seams.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <memory>

namespace bf {

class clsSetting;
namespace automation {
class Keyring;
class SpreadsheetApplication;
class Workbook;
}

struct AppContext {
    explicit AppContext(platform::Seams& s) : seams(s) {}

    platform::Seams& seams;
    // The configuration store and the spreadsheet application while they exist; nullptr otherwise.
    clsSetting* setting = nullptr;
    automation::SpreadsheetApplication* application = nullptr;
    // The passwords of the run (and who is asked for more); nullptr: none are known or asked.
    automation::Keyring* keyring = nullptr;
    // Where the time stamp of a run is read; empty: the system clock. Tests pin it to a moment.
    std::function<QDateTime()> clock;
    // Called with its name at the start of each load routine of the main window; a test throws
    // from it to make that routine fail.
    std::function<void(const QString&)> loadFault;

    // The store and the application; Error 91 when there is none.
    clsSetting& store() const;
    automation::SpreadsheetApplication& spreadsheet() const;
    // Opens a workbook in the application, a password-protected one with the keyring's passwords.
    std::shared_ptr<automation::Workbook> openWorkbook(const QString& path) const;
    // The configured value of key; "" when the key or the store is missing.
    QString configured(const QString& key) const;
    QDateTime now() const;
    void loadRoutineStarts(const QString& routine) const;
};

} // namespace bf
