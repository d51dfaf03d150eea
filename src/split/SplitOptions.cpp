#include "split/SplitOptions.h"

#include "core/Error.h"
#include "startup/clsSetting.h"

namespace bf::split {

SplitOptions splitOptionsFrom(const AppContext& context)
{
    SplitOptions options;
    if (!context.setting)
        return options;
    const clsSetting& store = *context.setting;
    options.skipHidden = settingBoolean(store, kSkipHiddenKey, false);
    options.skipVeryHidden = settingBoolean(store, kSkipVeryHiddenKey, false);
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
