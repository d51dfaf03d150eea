#pragma once
// With values in place of links: a chart's series that read other sheets keep the values the
// chart caches, as literals in place of their references.
#include "xlsx/Formula.h"

#include <QByteArray>
#include <QString>

namespace bf::xlsx {

// A chart part with each series' data (c:numRef, c:strRef) that reads another sheet made a
// literal from its cache (c:numLit, c:strLit) and each series name a text (c:v); a reference
// without a cache, or in a place no literal may stand (a title), goes or becomes #REF!,
// counted in formulas.drops.
QByteArray chartWithValues(const QByteArray& part, FormulaRewriter& formulas, const QString& detail);

} // namespace bf::xlsx
