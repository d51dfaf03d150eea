#include "automation/native/EngineBook.h"

#include "automation/SpreadsheetApplication.h"
#include "automation/native/EngineErrors.h"
#include "book/WorkbookFile.h"
#include "core/Paths.h"
#include "xls/XlsWorkbook.h"
#include "xlsx/XlsxWorkbook.h"

namespace bf::automation::native {

namespace {

// A workbook made by a sheet copy: its one worksheet is known, so its bytes are read by the
// engine only when a sheet is copied out of it in turn.
template <class Book>
class CopiedBook : public EngineBook {
public:
    CopiedBook(QByteArray bytes, QString sheetName, QString displayName)
        : bytes_(std::move(bytes)), sheetName_(std::move(sheetName)), displayName_(std::move(displayName))
    {
    }
    std::vector<EngineSheet> worksheets() const override { return {{0, sheetName_}}; }
    QByteArray extract(int, const QString& sourcePath, bool values, book::ValuesDrops* drops) override
    {
        return engineCall([&] {
            if (!book_)
                book_ = Book::openBytes(bytes_, displayName_);
            return book_->extract(book_->worksheets().at(0).index, sourcePath, values, drops);
        });
    }
    std::unique_ptr<EngineBook> copySheet(int, const QString& sourcePath, const QString& copyName, QByteArray* bytes,
                                          bool values, book::ValuesDrops* drops) override
    {
        *bytes = extract(0, sourcePath, values, drops);
        return std::make_unique<CopiedBook<Book>>(*bytes, sheetName_, copyName);
    }

private:
    QByteArray bytes_;
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
    QByteArray extract(int index, const QString& sourcePath, bool values, book::ValuesDrops* drops) override
    {
        return engineCall([&] { return book_->extract(index, sourcePath, values, drops); });
    }
    std::unique_ptr<EngineBook> copySheet(int index, const QString& sourcePath, const QString& copyName, QByteArray* bytes,
                                          bool values, book::ValuesDrops* drops) override
    {
        *bytes = extract(index, sourcePath, values, drops);
        return std::make_unique<CopiedBook<Book>>(*bytes, book_->sheets().at(std::size_t(index)).name, copyName);
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

} // namespace bf::automation::native
