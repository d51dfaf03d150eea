#pragma once
// A workbook of the native backend, whichever engine reads it: the Open XML engine for a file
// named .xlsx, .xlsm or .xlsb (and the copies of its sheets), the .xls engine otherwise.
#include "book/Unlock.h"
#include "book/Sheets.h"
#include "book/ValuesDrops.h"
#include "book/ValuesDrops.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace bf::automation::native {

struct EngineSheet {
    int index = 0; // the engine's sheet index
    QString name;
    book::Visibility visibility = book::Visibility::Visible;
};

class EngineBook {
public:
    virtual ~EngineBook() = default;
    // Worksheets only (hidden ones included), in order.
    virtual std::vector<EngineSheet> worksheets() const = 0;
    // A complete workbook file of the same format holding only sheet `index`; links to the
    // other sheets name sourcePath; with values, there are none and those formulas keep their
    // values, and what could not become values is counted in *drops (when given).
    virtual QByteArray extract(int index, const QString& sourcePath, bool values = false,
                               book::ValuesDrops* drops = nullptr) = 0;
    // The same bytes (in *bytes), and the workbook they make, named copyName in messages.
    virtual std::unique_ptr<EngineBook> copySheet(int index, const QString& sourcePath, const QString& copyName,
                                                  QByteArray* bytes, bool values = false,
                                                  book::ValuesDrops* drops = nullptr) = 0;
};

// Throws bf::Error (the engines' refusals mapped by EngineErrors.h), PasswordError for a
// password-protected workbook its password does not open. A protected workbook is read from
// its content unlocked in memory; *protection says how it was protected.
std::unique_ptr<EngineBook> openEngineBook(const QString& path, const QString& password,
                                           std::optional<book::Protection>* protection);

} // namespace bf::automation::native
