#include "automation/ApplicationFactory.h"

#include "automation/native/NativeApplication.h"
#include "core/Error.h"

namespace bf::automation {

namespace {
bool isNative(const QString& name) { return name.isEmpty() || name == QLatin1String("native"); }
} // namespace

void Backends::add(const QString& name, ApplicationMaker maker) { makers_[name] = std::move(maker); }

bool Backends::available(const QString& name) const { return isNative(name) || makers_.count(name) > 0; }

std::unique_ptr<SpreadsheetApplication> Backends::create(const QString& name, const platform::Seams& seams) const
{
    if (isNative(name))
        return std::make_unique<native::NativeApplication>(seams);
    const auto it = makers_.find(name);
    if (it == makers_.end())
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("the spreadsheet application \"%1\" is not available in this build").arg(name));
    return it->second(seams);
}

} // namespace bf::automation
