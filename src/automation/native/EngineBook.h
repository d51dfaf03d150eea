#pragma once
// A workbook of the native backend, whichever engine reads it: the Open XML engine for a file
// named .xlsx or .xlsm (and a new workbook that is a zip package), the .xls engine otherwise.
#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace bf::automation::native {

struct EngineSheet {
    int index = 0; // the engine's sheet index
    QString name;
};

class EngineBook {
public:
    virtual ~EngineBook() = default;
    // Worksheets only (hidden ones included), in order.
    virtual std::vector<EngineSheet> worksheets() const = 0;
    // A complete workbook file of the same format holding only sheet `index`; links to the
    // other sheets name sourcePath.
    virtual QByteArray extract(int index, const QString& sourcePath) = 0;
};

// Both throw bf::Error (the engines' refusals mapped by EngineErrors.h).
std::unique_ptr<EngineBook> openEngineBook(const QString& path);
std::unique_ptr<EngineBook> openEngineBookBytes(const QByteArray& bytes, const QString& displayName);

} // namespace bf::automation::native
