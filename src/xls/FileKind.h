#pragma once
// What a file that is not a compound file most likely is, for the message that refuses it.
#include <QByteArray>
#include <QString>

namespace bf::xls {

// From the file's first bytes: "the file is empty", "it is a zip file (…)", "it is an HTML
// file", … or "not a compound file".
QString describeNonCompound(const QByteArray& head);

} // namespace bf::xls
