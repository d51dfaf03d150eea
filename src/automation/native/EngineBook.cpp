#include "automation/native/EngineBook.h"

#include "automation/native/EngineErrors.h"
#include "core/Paths.h"
#include "xls/XlsWorkbook.h"
#include "xlsx/XlsxWorkbook.h"

namespace bf::automation::native {

namespace {

template <class Book>
class BookOf : public EngineBook {
public:
    explicit BookOf(std::unique_ptr<Book> book) : book_(std::move(book)) {}
    std::vector<EngineSheet> worksheets() const override
    {
        std::vector<EngineSheet> out;
        for (const auto& s : book_->worksheets())
            out.push_back({s.index, s.name});
        return out;
    }
    QByteArray extract(int index, const QString& sourcePath) override
    {
        return engineCall([&] { return book_->extract(index, sourcePath); });
    }

private:
    std::unique_ptr<Book> book_;
};

template <class Book>
std::unique_ptr<EngineBook> wrap(std::unique_ptr<Book> book)
{
    return std::make_unique<BookOf<Book>>(std::move(book));
}

bool isZip(const QByteArray& head) { return head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"); }

} // namespace

std::unique_ptr<EngineBook> openEngineBook(const QString& path)
{
    // The name decides, as it decides the name of the copies: an .xlsx or .xlsm file that is
    // not a zip package is refused for what it is (password-protected, an Excel 97-2003 file),
    // and so is an .xlsb.
    if (HasOpenXmlEnding(path) || path.endsWith(QLatin1String(".xlsb"), Qt::CaseInsensitive))
        return wrap(engineCall([&] { return xlsx::XlsxWorkbook::open(path); }));
    return wrap(engineCall([&] { return xls::XlsWorkbook::open(path); }));
}

std::unique_ptr<EngineBook> openEngineBookBytes(const QByteArray& bytes, const QString& displayName)
{
    if (isZip(bytes))
        return wrap(engineCall([&] { return xlsx::XlsxWorkbook::openBytes(bytes, displayName); }));
    return wrap(engineCall([&] { return xls::XlsWorkbook::openBytes(bytes, displayName); }));
}

} // namespace bf::automation::native
