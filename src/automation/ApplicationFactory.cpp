#include "automation/ApplicationFactory.h"

#include "automation/native/NativeApplication.h"
#include "core/Error.h"

#include <map>

namespace bf::automation {

namespace {
std::map<QString, ApplicationMaker>& makers()
{
    static std::map<QString, ApplicationMaker> table;
    return table;
}
} // namespace

void registerBackend(const QString& name, ApplicationMaker maker) { makers()[name] = std::move(maker); }

bool backendAvailable(const QString& name)
{
    return name.isEmpty() || name == QLatin1String("native") || makers().count(name) > 0;
}

std::unique_ptr<SpreadsheetApplication> createSpreadsheetApplication(const QString& backend)
{
    if (backend.isEmpty() || backend == QLatin1String("native"))
        return std::make_unique<native::NativeApplication>();
    const auto it = makers().find(backend);
    if (it == makers().end())
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("the spreadsheet application \"%1\" is not available in this build").arg(backend));
    return it->second();
}

} // namespace bf::automation
