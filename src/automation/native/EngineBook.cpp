#include "automation/native/EngineBook.h"

#include "automation/SpreadsheetApplication.h"
#include "automation/native/EngineErrors.h"
#include "book/WorkbookFile.h"
#include "core/Paths.h"
#include "platform/NewFile.h"
#include "platform/TempFile.h"
#include "xls/XlsWorkbook.h"
#include "xlsx/XlsxWorkbook.h"

#include <QDir>

#include <type_traits>

namespace bf::automation::native {

namespace {

// Sheet `index` of book copied: an Open XML copy written to an unnamed temporary file, an .xls
// copy in memory.
template <class Book>
SheetCopy copyOf(Book& book, int index, const QString& sourcePath, bool values, book::ValuesDrops* drops)
{
    SheetCopy copy;
    engineCall([&] {
        if constexpr (std::is_same_v<Book, xlsx::XlsxWorkbook>) {
            try {
                copy.file = std::make_shared<platform::TempFile>(QDir::tempPath());
            } catch (const platform::NewFileError& e) {
                throw Error(err::SpreadsheetFailure, e.detail());
            }
            book.extractTo(copy.file->descriptor(), index, sourcePath, values, drops);
        } else {
            copy.bytes = book.extract(index, sourcePath, values, drops);
        }
        return 0;
    });
    return copy;
}

template <class Book>
std::unique_ptr<Book> openCopy(const SheetCopy& copy, const QString& displayName)
{
    if constexpr (std::is_same_v<Book, xlsx::XlsxWorkbook>) {
        if (copy.file)
            return Book::open(copy.file->path(), displayName);
    }
    return Book::openBytes(copy.bytes, displayName);
}

// A workbook made by a sheet copy: its one worksheet is known, so its file is read by the
// engine only when a sheet is copied out of it in turn.
template <class Book>
class CopiedBook : public EngineBook {
public:
    CopiedBook(SheetCopy content, QString sheetName, QString displayName)
        : content_(std::move(content)), sheetName_(std::move(sheetName)), displayName_(std::move(displayName))
    {
    }
    std::vector<EngineSheet> worksheets() const override { return {{0, sheetName_}}; }
    std::unique_ptr<EngineBook> copySheet(int, const QString& sourcePath, const QString& copyName, SheetCopy* copy,
                                          bool values, book::ValuesDrops* drops) override
    {
        engineCall([&] {
            if (!book_)
                book_ = openCopy<Book>(content_, displayName_);
            return 0;
        });
        *copy = copyOf(*book_, book_->worksheets().at(0).index, sourcePath, values, drops);
        return std::make_unique<CopiedBook<Book>>(*copy, sheetName_, copyName);
    }

private:
    SheetCopy content_;
    QString sheetName_;
    QString displayName_;
    std::unique_ptr<Book> book_;
};

template <class Book>
class BookOf : public EngineBook {
public:
    explicit BookOf(std::unique_ptr<Book> book) : book_(std::move(book)) {}
    std::vector<EngineSheet> worksheets() const override
    {
        std::vector<EngineSheet> out;
        for (const auto& s : book_->worksheets())
            out.push_back({s.index, s.name, s.visibility});
        return out;
    }
    std::unique_ptr<EngineBook> copySheet(int index, const QString& sourcePath, const QString& copyName, SheetCopy* copy,
                                          bool values, book::ValuesDrops* drops) override
    {
        *copy = copyOf(*book_, index, sourcePath, values, drops);
        return std::make_unique<CopiedBook<Book>>(*copy, book_->sheets().at(std::size_t(index)).name, copyName);
    }

private:
    std::unique_ptr<Book> book_;
};

template <class Book>
std::unique_ptr<EngineBook> wrap(std::unique_ptr<Book> book)
{
    return std::make_unique<BookOf<Book>>(std::move(book));
}

} // namespace

namespace {
std::optional<book::Unlocked> unlock(const QString& path, const QString& password)
{
    try {
        return book::unlockWorkbook(path, password);
    } catch (const book::PasswordRefusal& r) {
        throw PasswordError(r.why() == book::PasswordRefusal::Why::Wrong ? PasswordError::Why::Wrong : PasswordError::Why::Needed,
                            r.message());
    } catch (const book::Refusal& r) {
        throw Error(err::SpreadsheetFailure, r.message());
    }
}
} // namespace

std::unique_ptr<EngineBook> openEngineBook(const QString& path, const QString& password,
                                           std::optional<book::Protection>* protection)
{
    // The name decides, as it decides the name of the copies: an .xlsx or .xlsm file that is
    // not a zip package is refused for what it is (an Excel 97-2003 file, an .xlsb).
    const bool openXml = HasOpenXmlEnding(path) || path.endsWith(QLatin1String(".xlsb"), Qt::CaseInsensitive);
    std::optional<book::Unlocked> unlocked = unlock(path, password);
    protection->reset();
    if (unlocked) {
        *protection = unlocked->protection;
        if (openXml)
            return wrap(engineCall([&] { return xlsx::XlsxWorkbook::openBytes(unlocked->bytes, path); }));
        return wrap(engineCall([&] { return xls::XlsWorkbook::openBytes(unlocked->bytes, path); }));
    }
    if (openXml)
        return wrap(engineCall([&] { return xlsx::XlsxWorkbook::open(path); }));
    return wrap(engineCall([&] { return xls::XlsWorkbook::open(path); }));
}

QByteArray SheetCopy::whole() const
{
    if (!file)
        return bytes;
    try {
        return file->readAll();
    } catch (const platform::NewFileError& e) {
        throw Error(err::SpreadsheetFailure, e.detail());
    }
}

} // namespace bf::automation::native
