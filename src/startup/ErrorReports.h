#pragma once
// The four report formats: each one message box with an OK button and the application title.
#include "core/Error.h"
#include "platform/Seams.h"

#include <QString>
#include <exception>

namespace bf {

QString procedureReportText(std::int32_t number, const QString& description, const QString& procName);
QString startupReportText(std::int32_t number, const QString& description);
QString folderReportText(std::int32_t number, const QString& description, const QString& folder);
QString fileReportText(std::int32_t number, const QString& description, const QString& file);

// Show a report for the exception in flight (call inside a catch block) or a given one.
void showProcedureError(const platform::Seams& seams, const QString& procName,
                        std::exception_ptr e = std::current_exception());
void showStartupError(const platform::Seams& seams, std::exception_ptr e = std::current_exception());
void showFolderError(const platform::Seams& seams, const QString& folder,
                     std::exception_ptr e = std::current_exception());
void showFileError(const platform::Seams& seams, const QString& file, std::exception_ptr e = std::current_exception());

// Runs body; any failure in it is shown as the procedure error report naming procName.
// Returns false when it reported a failure. Handlers use it so nothing escapes into Qt.
template <typename F> bool trapProcedure(const platform::Seams& seams, const QString& procName, F&& body)
{
    try {
        body();
        return true;
    } catch (...) {
        try {
            showProcedureError(seams, procName);
        } catch (...) {
        }
        return false;
    }
}

} // namespace bf
