#pragma once
// What a split run may do otherwise than by default: leave hidden or very hidden worksheets out,
// and name its files from a template. The defaults give today's runs. The window's runs take them
// from Config.cfg, the command line's from its options.
#include "split/NameTemplate.h"
#include "startup/AppContext.h"

#include <QString>

namespace bf::split {

struct SplitOptions {
    bool skipHidden = false;
    bool skipVeryHidden = false;
    QString nameTemplate = kDefaultNameTemplate;

    // True for a row the run leaves out.
    bool leavesOut(book::Visibility visibility) const
    {
        return (visibility == book::Visibility::Hidden && skipHidden) ||
               (visibility == book::Visibility::VeryHidden && skipVeryHidden);
    }
};

// The Config.cfg keys: SkipHiddenSheets and SkipVeryHiddenSheets (1 or 0), OutputNameTemplate.
inline const QString kSkipHiddenKey = QStringLiteral("SkipHiddenSheets");
inline const QString kSkipVeryHiddenKey = QStringLiteral("SkipVeryHiddenSheets");
inline const QString kNameTemplateKey = QStringLiteral("OutputNameTemplate");

// The options in the context's store; a missing key (or store) gives its default. A value that is
// no Boolean is error 13, a template that is refused error 5, each naming the key and the file.
SplitOptions splitOptionsFrom(const AppContext& context);

} // namespace bf::split
