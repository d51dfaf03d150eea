#include "startup/AppContext.h"

#include "automation/Keyring.h"
#include "core/Error.h"
#include "startup/clsSetting.h"

namespace bf {

clsSetting& AppContext::store() const
{
    if (!setting)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("the configuration store is not available"));
    return *setting;
}

automation::SpreadsheetApplication& AppContext::spreadsheet() const
{
    if (!application)
        throw Error(err::ObjectVariableNotSet, QStringLiteral("no spreadsheet application is running"));
    return *application;
}

std::shared_ptr<automation::Workbook> AppContext::openWorkbook(const QString& path) const
{
    automation::Workbooks& books = spreadsheet().workbooks();
    return keyring ? keyring->open(books, path) : books.Open(path);
}

QString AppContext::configured(const QString& key) const
{
    QString text;
    if (setting)
        setting->GetSetting(key, text);
    return text;
}

QDateTime AppContext::now() const { return clock ? clock() : QDateTime::currentDateTime(); }

void AppContext::loadRoutineStarts(const QString& routine) const
{
    if (loadFault)
        loadFault(routine);
}

} // namespace bf
