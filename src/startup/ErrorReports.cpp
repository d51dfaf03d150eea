#include "startup/ErrorReports.h"


namespace bf {

namespace {
const QString kBreak = QStringLiteral("\r\n");
}

QString procedureReportText(std::int32_t number, const QString& description, const QString& procName)
{
    return QStringLiteral("Err Number: ") + QString::number(number) + kBreak + QStringLiteral("Err Description: ") +
           description + kBreak + QStringLiteral("Err Proc: ") + procName;
}

QString startupReportText(std::int32_t number, const QString& description)
{
    return QStringLiteral("Err Number: ") + QString::number(number) + kBreak + QStringLiteral("Err Description: ") +
           description;
}

QString folderReportText(std::int32_t number, const QString& description, const QString& folder)
{
    return QStringLiteral("Error Number: ") + QString::number(number) + kBreak +
           QStringLiteral(" Error Description: ") + description + kBreak + QStringLiteral("Error Folder Name: ") +
           folder;
}

QString fileReportText(std::int32_t number, const QString& description, const QString& file)
{
    return QStringLiteral("Error Number: ") + QString::number(number) + kBreak +
           QStringLiteral(" Error Description: ") + description + kBreak + QStringLiteral("Error File Name: ") + file;
}

void showProcedureError(const platform::Seams& seams, const QString& procName, std::exception_ptr e)
{
    const ErrorInfo info = errorInfoOf(e);
    seams.msgBox(procedureReportText(info.number, info.description, procName));
}

void showStartupError(const platform::Seams& seams, std::exception_ptr e)
{
    const ErrorInfo info = errorInfoOf(e);
    seams.msgBox(startupReportText(info.number, info.description));
}

void showFolderError(const platform::Seams& seams, const QString& folder, std::exception_ptr e)
{
    const ErrorInfo info = errorInfoOf(e);
    seams.msgBox(folderReportText(info.number, info.description, folder));
}

void showFileError(const platform::Seams& seams, const QString& file, std::exception_ptr e)
{
    const ErrorInfo info = errorInfoOf(e);
    seams.msgBox(fileReportText(info.number, info.description, file));
}

} // namespace bf
