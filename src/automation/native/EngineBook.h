#pragma once
// A workbook of the native backend, whichever engine reads it: the Open XML engine for a file
// named .xlsx, .xlsm or .xlsb (and the copies of its sheets), the .xls engine otherwise.
#include "book/Unlock.h"
#include "book/Sheets.h"
#include "book/ValuesDrops.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace bf::platform {
class TempFile;
}

namespace bf::automation::native {

// The file a sheet copy makes, before it is saved: in memory (.xls), or in an unnamed temporary
// file (Open XML), so a large workbook is never held whole.
struct SheetCopy {
    QByteArray bytes;
    std::shared_ptr<platform::TempFile> file;
    bool isNull() const { return bytes.isNull() && !file; }
    // The whole file in memory. Throws bf::Error when the temporary file cannot be read.
    QByteArray whole() const;
};

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
    // A complete workbook file of the same format holding only sheet `index` (in *copy), and
    // the workbook it makes, named copyName in messages. Links to the other sheets name
    // sourcePath; with values, there are none and those formulas keep their values, and what
    // could not become values is counted in *drops (when given).
    virtual std::unique_ptr<EngineBook> copySheet(int index, const QString& sourcePath, const QString& copyName,
                                                  SheetCopy* copy, bool values = false,
                                                  book::ValuesDrops* drops = nullptr) = 0;
};

// Throws bf::Error (the engines' refusals mapped by EngineErrors.h), PasswordError for a
// password-protected workbook its password does not open. A protected workbook is read from
// its content unlocked in memory; *protection says how it was protected.
std::unique_ptr<EngineBook> openEngineBook(const QString& path, const QString& password,
                                           std::optional<book::Protection>* protection);

} // namespace bf::automation::native
