#include "split/SplitOptions.h"

#include "core/Conversions.h"
#include "core/Error.h"
#include "startup/clsSetting.h"

namespace bf::split {

namespace {

bool booleanOr(const clsSetting& store, const QString& key, bool fallback)
{
    QString text;
    if (store.GetSetting(key, text) != clsSetting::kDone)
        return fallback;
    try {
        return CBool(text);
    } catch (const Error&) {
        throw Error(err::TypeMismatch, QStringLiteral("Type mismatch: the value \"%1\" of the key \"%2\" in %3 is no "
                                                      "Boolean (1 or 0)")
                                           .arg(text, key, store.filePath()));
    }
}

} // namespace

SplitOptions splitOptionsFrom(const AppContext& context)
{
    SplitOptions options;
    if (!context.setting)
        return options;
    const clsSetting& store = *context.setting;
    options.skipHidden = booleanOr(store, kSkipHiddenKey, false);
    options.skipVeryHidden = booleanOr(store, kSkipVeryHiddenKey, false);
    QString text;
    if (store.GetSetting(kNameTemplateKey, text) == clsSetting::kDone) {
        try {
            NameTemplate::parse(text);
        } catch (const Error& e) {
            throw Error(e.number(), QStringLiteral("the value of the key \"%1\" in %2 is refused: %3")
                                        .arg(kNameTemplateKey, store.filePath(), e.description()));
        }
        options.nameTemplate = text;
    }
    return options;
}

} // namespace bf::split
