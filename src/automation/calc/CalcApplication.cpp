#include "automation/calc/CalcApplication.h"

#include "automation/SaveAsTarget.h"

#include "automation/ApplicationFactory.h"
#include "automation/calc/OfficeProcess.h"
#include "book/Unlock.h"
#include "book/WorkbookFile.h"
#include "platform/Seams.h"
#include "core/Error.h"
#include "core/Paths.h"
#include "xls/XlsWorkbook.h"
#include "xlsx/XlsxWorkbook.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellRangesQuery.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets2.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/sheet/XArrayFormulaRange.hpp>
#include <com/sun/star/table/CellRangeAddress.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/table/XTableChartsSupplier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace css = com::sun::star;
using css::uno::Reference;
using rtl::OUString;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace bf::automation::calc {

namespace {

OUString toOU(const QString& s) { return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), s.size()); }
QString toQ(const OUString& s) { return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength()); }

OUString fileUrl(const QString& path) { return toOU(QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())); }

css::beans::PropertyValue property(const char* name, const css::uno::Any& value)
{
    css::beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

css::uno::Sequence<css::beans::PropertyValue> properties(const std::vector<css::beans::PropertyValue>& list)
{
    return css::uno::Sequence<css::beans::PropertyValue>(list.data(), static_cast<sal_Int32>(list.size()));
}

[[noreturn]] void fail(const QString& what) { throw Error(err::SpreadsheetFailure, what); }

// The client side of UNO, made once per process and never torn down: the office processes come
// and go, the local context stays.
Reference<css::uno::XComponentContext> localContext(const QString& programDir)
{
    static Reference<css::uno::XComponentContext>* context = nullptr;
    if (context)
        return *context;
    // Without it the client cannot find the office's type libraries and fails deep inside.
    if (qEnvironmentVariableIsEmpty("URE_BOOTSTRAP")) {
        const QString rc = QStringLiteral("vnd.sun.star.pathname:%1").arg(QDir(programDir).filePath(QStringLiteral("fundamentalrc")));
        qputenv("URE_BOOTSTRAP", rc.toUtf8());
    }
    try {
        context = new Reference<css::uno::XComponentContext>(cppu::defaultBootstrap_InitialComponentContext());
    } catch (const css::uno::Exception& e) {
        fail(QStringLiteral("the UNO runtime could not be started: %1").arg(toQ(e.Message)));
    } catch (const cppu::BootstrapException& e) {
        fail(QStringLiteral("the UNO runtime could not be started: %1").arg(toQ(e.getMessage())));
    }
    return *context;
}

// What the office is given: every spreadsheet it reads, and what the native readers cannot tell
// (it may be damage the office reads through, or a format they do not know). A password, an
// empty file, plain text and a compound file holding no workbook are refused before it.
constexpr std::initializer_list<book::FileKind> kOfficeReads = {
    book::FileKind::Biff8, book::FileKind::Biff5, book::FileKind::OldBiff, book::FileKind::OpenXml,
    book::FileKind::Xlsb, book::FileKind::OpenDocument, book::FileKind::Html, book::FileKind::Xml,
    book::FileKind::DamagedCompound, book::FileKind::Unknown};

// A document that opened as something other than a workbook: the office reads any text as a
// one-column sheet, which would split garbage.
bool isTextImport(const QString& filterName)
{
    return filterName.startsWith(QLatin1String("Text"), Qt::CaseInsensitive)
        || filterName.contains(QLatin1String("csv"), Qt::CaseInsensitive);
}

// A chart sheet comes in as a sheet with a chart and not one cell of content.
bool isChartSheet(const Reference<css::sheet::XSpreadsheet>& sheet)
{
    Reference<css::table::XTableChartsSupplier> charts(sheet, UNO_QUERY);
    Reference<css::sheet::XCellRangesQuery> query(sheet, UNO_QUERY);
    if (!charts.is() || !query.is() || !charts->getCharts()->hasElements())
        return false;
    using namespace css::sheet::CellFlags;
    const Reference<css::sheet::XSheetCellRanges> content =
        query->queryContentCells(VALUE | DATETIME | STRING | ANNOTATION | FORMULA);
    return !content.is() || content->getCount() == 0;
}

// The sheets of a BIFF8 or Open XML file that are no worksheets (dialog, macro and chart
// sheets), read from the file's own sheet list: the office turns them all into ordinary sheets.
// Empty when the file is not one the native readers understand; the chart test then stands alone.
QSet<QString> sheetsThatAreNoWorksheets(const QString& path, const QString& filter)
{
    QSet<QString> names;
    try {
        // Each workbook is held while its sheet list is read: the list belongs to it.
        if (filter == QLatin1String("MS Excel 97")) {
            const auto book = xls::XlsWorkbook::open(path);
            for (const auto& sheet : book->sheets())
                if (sheet.kind != bf::book::SheetKind::Worksheet)
                    names.insert(sheet.name);
        } else if (filter.startsWith(QLatin1String("Calc MS Excel 2007"))) {
            const auto book = xlsx::XlsxWorkbook::open(path);
            for (const auto& sheet : book->sheets())
                if (sheet.kind != bf::book::SheetKind::Worksheet)
                    names.insert(sheet.name);
        }
    } catch (const std::exception&) {
    }
    return names;
}

// Formulas of the copied sheet that reach other sheets now point into the source file, and the
// office cannot evaluate some of them there (ranges across several sheets come out as 0). Where a
// formula's result in the copy differs from the source's, the copy keeps the source's value
// instead of a wrong number: what the user sees is kept, the formula in those cells is not.
void keepSourceResults(const Reference<css::sheet::XSpreadsheet>& source, const Reference<css::sheet::XSpreadsheet>& copy)
{
    Reference<css::sheet::XCellRangesQuery> query(source, UNO_QUERY_THROW);
    const Reference<css::sheet::XSheetCellRanges> formulas = query->queryContentCells(css::sheet::CellFlags::FORMULA);
    if (!formulas.is())
        return;
    const css::uno::Sequence<css::table::CellRangeAddress> addresses = formulas->getRangeAddresses();
    for (const css::table::CellRangeAddress& a : addresses) {
        const Reference<css::sheet::XCellRangeData> from(
            source->getCellRangeByPosition(a.StartColumn, a.StartRow, a.EndColumn, a.EndRow), UNO_QUERY_THROW);
        const Reference<css::table::XCellRange> toRange =
            copy->getCellRangeByPosition(a.StartColumn, a.StartRow, a.EndColumn, a.EndRow);
        const Reference<css::sheet::XCellRangeData> to(toRange, UNO_QUERY_THROW);
        const auto want = from->getDataArray();
        const auto have = to->getDataArray();
        for (sal_Int32 r = 0; r < want.getLength() && r < have.getLength(); ++r) {
            for (sal_Int32 c = 0; c < want[r].getLength() && c < have[r].getLength(); ++c) {
                const css::uno::Any& w = want[r][c];
                if (w == have[r][c])
                    continue;
                const Reference<css::table::XCell> cell = toRange->getCellByPosition(c, r);
                double number = 0;
                OUString text;
                if (w >>= number) {
                    cell->setValue(number);
                } else if (w >>= text) {
                    Reference<css::text::XText>(cell, UNO_QUERY_THROW)->setString(text);
                }
            }
        }
    }
}

// The office writes the text result of a formula it loaded but never evaluated as the number 0.
// Entering such a formula again makes it evaluate; formulas that span an array are left alone
// (entering one cell of an array would break it up).
void refreshTextFormulas(const Reference<css::sheet::XSpreadsheet>& sheet)
{
    Reference<css::sheet::XCellRangesQuery> query(sheet, UNO_QUERY_THROW);
    const Reference<css::sheet::XSheetCellRanges> text = query->queryFormulaCells(css::sheet::FormulaResult::STRING);
    if (!text.is())
        return;
    const css::uno::Sequence<css::table::CellRangeAddress> addresses = text->getRangeAddresses();
    for (const css::table::CellRangeAddress& a : addresses) {
        for (sal_Int32 row = a.StartRow; row <= a.EndRow; ++row) {
            for (sal_Int32 col = a.StartColumn; col <= a.EndColumn; ++col) {
                const Reference<css::table::XCell> cell = sheet->getCellByPosition(col, row);
                const Reference<css::sheet::XArrayFormulaRange> array(
                    sheet->getCellRangeByPosition(col, row, col, row), UNO_QUERY);
                if (array.is() && !array->getArrayFormula().isEmpty())
                    continue;
                cell->setFormula(cell->getFormula());
            }
        }
    }
}


} // namespace

class CalcWorkbook;

// Ends an office that does not return from a call in time. The office serves one call at a time
// and some of its filters can loop on odd drawings; without this the program would wait forever.
class CallWatchdog {
public:
    ~CallWatchdog() { stop(); }
    void start(pid_t group)
    {
        group_ = group;
        thread_ = std::thread([this] { run(); });
    }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    void arm(std::chrono::milliseconds timeout)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            deadline_ = std::chrono::steady_clock::now() + timeout;
        }
        wake_.notify_all();
    }
    void disarm()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        deadline_.reset();
    }
    bool fired() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return fired_;
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_) {
            if (!deadline_) {
                wake_.wait(lock);
                continue;
            }
            if (wake_.wait_until(lock, *deadline_) == std::cv_status::timeout && deadline_
                && std::chrono::steady_clock::now() >= *deadline_) {
                // By the group's id, never by a name: only this backend's office is ended. The
                // launcher is reaped later by OfficeProcess::stop on the owning thread.
                fired_ = true;
                deadline_.reset();
                if (group_ > 0)
                    ::kill(-group_, SIGKILL);
            }
        }
    }

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::thread thread_;
    pid_t group_ = -1;
    bool stopping_ = false;
    bool fired_ = false;
};

struct CalcSession {
    const platform::Seams* seams = nullptr;
    std::unique_ptr<OfficeProcess> office;
    CallWatchdog watchdog;
    bool headless = true;
    std::chrono::milliseconds callTimeout{std::chrono::seconds(120)};
    Reference<css::uno::XComponentContext> context;
    Reference<css::frame::XDesktop2> desktop;
    // Open workbooks in the order they became active; the last one is the active one.
    std::vector<std::shared_ptr<CalcWorkbook>> open;
    int booksCreated = 0;
    Switches switches;
    bool quit = false;

    void ensureRunning() const
    {
        if (quit)
            fail(QStringLiteral("the spreadsheet application has quit"));
        if (watchdog.fired())
            fail(QStringLiteral("LibreOffice stopped responding and was ended"));
    }

    // Runs one exchange with the office under the watchdog; any failure of the office (including
    // a dropped connection) becomes error 1004 naming what was being done.
    template <class F>
    auto call(const QString& what, F&& f) -> decltype(f())
    {
        ensureRunning();
        struct Armed {
            CallWatchdog& w;
            ~Armed() { w.disarm(); }
        } armed{watchdog};
        watchdog.arm(callTimeout);
        try {
            return f();
        } catch (const css::uno::Exception& e) {
            if (watchdog.fired())
                fail(QStringLiteral("%1: LibreOffice did not answer within %2 seconds and was ended")
                         .arg(what)
                         .arg(callTimeout.count() / 1000.0));
            fail(QStringLiteral("%1: %2").arg(what, e.Message.isEmpty() ? QStringLiteral("the office refused")
                                                                         : toQ(e.Message)));
        }
    }
    void activate(const std::shared_ptr<CalcWorkbook>& book)
    {
        forget(book.get());
        open.push_back(book);
    }
    void forget(const CalcWorkbook* book)
    {
        open.erase(std::remove_if(open.begin(), open.end(), [&](const auto& b) { return b.get() == book; }), open.end());
    }
    Reference<css::lang::XComponent> load(const OUString& url, bool readOnly, const QString& password = QString());
    // A new document holding only a copy of the named sheet of source.
    Reference<css::lang::XComponent> copySheet(const Reference<css::lang::XComponent>& source, const QString& sheetName);
    void closeAll();
    void shutdown();
};

class CalcWorkbook : public Workbook, public std::enable_shared_from_this<CalcWorkbook> {
public:
    CalcWorkbook(std::weak_ptr<CalcSession> session, Reference<css::lang::XComponent> document, QString fullName,
                 QString name, QSet<QString> noWorksheets = {})
        : session_(std::move(session)), document_(std::move(document)), fullName_(std::move(fullName)),
          name_(std::move(name)), noWorksheets_(std::move(noWorksheets))
    {
    }

    QString FullName() const override
    {
        ensureOpen();
        return fullName_;
    }
    QString Name() const override
    {
        ensureOpen();
        return name_;
    }
    std::vector<std::shared_ptr<Worksheet>> Worksheets() override;
    std::shared_ptr<Worksheet> WorksheetByName(const QString& name) override;
    void SaveAs(const QString& fileName) override;
    void Close(bool saveChanges = false) override;

    // Used by the worksheets of this workbook.
    void copySheet(const QString& sheetName);
    void ensureOpen() const
    {
        const auto session = session_.lock();
        if (closed_ || !session || session->quit)
            fail(QStringLiteral("the workbook '%1' is closed").arg(name_));
    }
    bool closed() const { return closed_; }
    // The password protection of the source file, which its copies are saved with.
    void setProtection(std::optional<book::Protection> protection) { protection_ = std::move(protection); }
    // Ends the document without asking anything; the session forgets it.
    void closeDocument() noexcept;
    void setWindowVisible(bool on) noexcept;

private:
    std::weak_ptr<CalcSession> session_;
    Reference<css::lang::XComponent> document_;
    QString fullName_;
    QString name_;
    QSet<QString> noWorksheets_;
    std::optional<book::Protection> protection_;
    bool closed_ = false;
};

class CalcWorksheet : public Worksheet {
public:
    CalcWorksheet(std::shared_ptr<CalcWorkbook> book, QString name, book::Visibility visibility)
        : book_(std::move(book)), name_(std::move(name)), visibility_(visibility)
    {
    }
    QString Name() const override
    {
        book_->ensureOpen();
        return name_;
    }
    // LibreOffice keeps one flag, shown or not: a very hidden sheet is told as hidden.
    book::Visibility Visibility() const override
    {
        book_->ensureOpen();
        return visibility_;
    }
    void Copy() override { book_->copySheet(name_); }

private:
    std::shared_ptr<CalcWorkbook> book_;
    QString name_;
    book::Visibility visibility_;
};

class CalcWorkbooks : public Workbooks {
public:
    explicit CalcWorkbooks(std::weak_ptr<CalcSession> session) : session_(std::move(session)) {}
    std::shared_ptr<Workbook> Open(const QString& fileName, const QString& password = QString()) override;
    int Count() const override
    {
        const auto s = session_.lock();
        return s ? static_cast<int>(s->open.size()) : 0;
    }
    void Close() override
    {
        if (const auto s = session_.lock())
            s->closeAll();
    }

private:
    std::weak_ptr<CalcSession> session_;
};

// ---- the session ----

Reference<css::lang::XComponent> CalcSession::load(const OUString& url, bool readOnly, const QString& password)
{
    std::vector<css::beans::PropertyValue> args;
    // Without a display there is nothing to show, and the office crashes on some calls into
    // documents loaded for showing.
    args.push_back(property("Hidden", css::uno::Any(!switches.visible || headless)));
    // Never a macro, never a question about links: the office must not stop and wait for an
    // answer nobody can give. The values already in the file are kept.
    args.push_back(property("MacroExecutionMode", css::uno::Any(css::document::MacroExecMode::NEVER_EXECUTE)));
    args.push_back(property("UpdateDocMode", css::uno::Any(css::document::UpdateDocMode::NO_UPDATE)));
    if (readOnly)
        args.push_back(property("ReadOnly", css::uno::Any(true)));
    if (!password.isEmpty())
        args.push_back(property("Password", css::uno::Any(toOU(password))));
    Reference<css::frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
    return loader->loadComponentFromURL(url, "_blank", 0, properties(args));
}

Reference<css::lang::XComponent> CalcSession::copySheet(const Reference<css::lang::XComponent>& source,
                                                     const QString& sheetName)
{
    const QString what = QStringLiteral("the worksheet '%1' could not be copied").arg(sheetName);
    Reference<css::lang::XComponent> target = call(what, [&] { return load("private:factory/scalc", false); });
    if (!target.is())
        fail(what + QStringLiteral(": the office made no new workbook"));
    try {
        call(what, [&] {
            Reference<css::sheet::XSpreadsheetDocument> targetDoc(target, UNO_QUERY_THROW);
            Reference<css::sheet::XSpreadsheets2> sheets(targetDoc->getSheets(), UNO_QUERY_THROW);
            Reference<css::container::XIndexAccess> byIndex(sheets, UNO_QUERY_THROW);
            // The new document's own sheets have localised names: remember them, whatever they are.
            const css::uno::Sequence<OUString> defaults = sheets->getElementNames();
            const sal_Int32 at = sheets->importSheet(
                Reference<css::sheet::XSpreadsheetDocument>(source, UNO_QUERY_THROW), toOU(sheetName), byIndex->getCount());
            Reference<css::container::XNamed> imported(byIndex->getByIndex(at), UNO_QUERY_THROW);
            for (const OUString& name : defaults)
                sheets->removeByName(name);
            // A source sheet named like a default one was imported under another name.
            if (imported->getName() != toOU(sheetName))
                imported->setName(toOU(sheetName));
            // The only sheet of a workbook must be visible, even when its source was hidden.
            Reference<css::beans::XPropertySet> props(imported, UNO_QUERY_THROW);
            props->setPropertyValue("IsVisible", css::uno::Any(true));
            refreshTextFormulas(Reference<css::sheet::XSpreadsheet>(imported, UNO_QUERY_THROW));
            const Reference<css::sheet::XSpreadsheetDocument> sourceDoc(source, UNO_QUERY_THROW);
            keepSourceResults(Reference<css::sheet::XSpreadsheet>(sourceDoc->getSheets()->getByName(toOU(sheetName)), UNO_QUERY_THROW),
                              Reference<css::sheet::XSpreadsheet>(imported, UNO_QUERY_THROW));
        });
    } catch (...) {
        try {
            Reference<css::util::XCloseable> closeable(target, UNO_QUERY);
            if (closeable.is() && !watchdog.fired())
                closeable->close(true);
        } catch (const css::uno::Exception&) {
        }
        throw;
    }
    return target;
}

void CalcSession::closeAll()
{
    while (!open.empty())
        open.back()->closeDocument();
}

void CalcSession::shutdown()
{
    if (quit)
        return;
    closeAll();
    try {
        if (desktop.is() && !watchdog.fired())
            call(QStringLiteral("ending LibreOffice"), [&] { desktop->terminate(); });
    } catch (const std::exception&) {
        // The connection drops while the office goes away.
    }
    quit = true;
    watchdog.stop();
    desktop.clear();
    context.clear();
    if (office)
        office->stop(std::chrono::milliseconds(5000));
}

// ---- workbooks ----

namespace {
// A password-protected workbook's protection, its password checked here (the default one
// first) so that both backends refuse a missing or wrong one alike; nothing for another file.
std::optional<book::Protection> protectionOf(const QString& path, const QString& password)
{
    try {
        std::optional<book::Unlocked> unlocked = book::unlockWorkbook(path, password);
        if (!unlocked)
            return std::nullopt;
        unlocked->bytes.fill('\0');
        return unlocked->protection;
    } catch (const book::PasswordRefusal& r) {
        throw PasswordError(r.why() == book::PasswordRefusal::Why::Wrong ? PasswordError::Why::Wrong : PasswordError::Why::Needed,
                            r.message());
    } catch (const book::Refusal& r) {
        fail(r.message());
    }
}

// Save properties that protect a copy with its source's password.
std::vector<css::beans::PropertyValue> protectionProperties(const book::Protection& protection, bool openXml)
{
    if (!openXml)
        return {property("Password", css::uno::Any(toOU(protection.password)))};
    // The Open XML export takes its password from the encryption data.
    css::uno::Sequence<css::beans::NamedValue> data(2);
    data.getArray()[0] = css::beans::NamedValue("CryptoType", css::uno::Any(OUString("StrongEncryptionDataSpace")));
    data.getArray()[1] = css::beans::NamedValue("OOXPassword", css::uno::Any(toOU(protection.password)));
    return {property("EncryptionData", css::uno::Any(data))};
}
} // namespace

std::shared_ptr<Workbook> CalcWorkbooks::Open(const QString& fileName, const QString& password)
{
    const auto session = session_.lock();
    if (!session)
        fail(QStringLiteral("the spreadsheet application has quit"));
    session->ensureRunning();
    const QString path = QDir::cleanPath(QFileInfo(fileName).absoluteFilePath());
    for (const auto& candidate : session->open) {
        if (candidate->FullName() == path) {
            // A copy: activating reorders the list the loop walks.
            const std::shared_ptr<CalcWorkbook> book = candidate;
            session->activate(book);
            return book;
        }
    }
    // The office would wait for ever on a FIFO and makes an empty workbook of an empty file: the
    // file is checked, and its kind told, at the door every backend uses.
    const std::optional<book::Protection> protection = protectionOf(path, password);
    try {
        if (!protection)
            book::WorkbookFile(path).require(kOfficeReads);
    } catch (const book::Refusal& r) {
        if (r.why() == book::Refusal::Why::Missing)
            throw Error(err::FileNotFound, r.message());
        fail(r.message());
    }
    const QFileInfo info(path);
    const QString what = QStringLiteral("'%1' could not be opened").arg(path);
    Reference<css::lang::XComponent> document =
        session->call(what, [&] { return session->load(fileUrl(path), true, protection ? protection->password : QString()); });
    if (!document.is())
        fail(what + QStringLiteral(": it is damaged, password-protected or not a workbook"));
    const Reference<css::sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY);
    QString filter;
    try {
        const Reference<css::frame::XModel> model(document, UNO_QUERY_THROW);
        for (const auto& arg : model->getArgs())
            if (arg.Name == "FilterName")
                filter = toQ(arg.Value.get<OUString>());
    } catch (const css::uno::Exception&) {
    }
    if (!spreadsheet.is() || isTextImport(filter)) {
        try {
            Reference<css::util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
        } catch (const css::uno::Exception&) {
        }
        fail(what + QStringLiteral(": not a workbook (read as %1)").arg(filter.isEmpty() ? QStringLiteral("another kind of document") : filter));
    }
    auto book = std::make_shared<CalcWorkbook>(session, document, path, info.fileName(),
                                               sheetsThatAreNoWorksheets(path, filter));
    book->setProtection(protection);
    session->activate(book);
    return book;
}

std::vector<std::shared_ptr<Worksheet>> CalcWorkbook::Worksheets()
{
    ensureOpen();
    std::vector<std::shared_ptr<Worksheet>> list;
    session_.lock()->call(QStringLiteral("the worksheets of '%1' could not be listed").arg(name_), [&] {
        Reference<css::sheet::XSpreadsheetDocument> doc(document_, UNO_QUERY_THROW);
        Reference<css::container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
        const sal_Int32 count = sheets->getCount();
        for (sal_Int32 i = 0; i < count; ++i) {
            Reference<css::sheet::XSpreadsheet> sheet(sheets->getByIndex(i), UNO_QUERY_THROW);
            Reference<css::container::XNamed> named(sheet, UNO_QUERY_THROW);
            const QString name = toQ(named->getName());
            if (noWorksheets_.contains(name) || isChartSheet(sheet))
                continue;
            Reference<css::beans::XPropertySet> props(sheet, UNO_QUERY_THROW);
            bool shown = true;
            props->getPropertyValue("IsVisible") >>= shown;
            list.push_back(std::make_shared<CalcWorksheet>(shared_from_this(), name,
                                                           shown ? book::Visibility::Visible : book::Visibility::Hidden));
        }
    });
    return list;
}

std::shared_ptr<Worksheet> CalcWorkbook::WorksheetByName(const QString& name)
{
    for (auto& sheet : Worksheets())
        if (sheet->Name() == name)
            return sheet;
    throw Error(err::SubscriptOutOfRange, QStringLiteral("'%1' has no worksheet named '%2'").arg(name_, name));
}

void CalcWorkbook::copySheet(const QString& sheetName)
{
    ensureOpen();
    const auto session = session_.lock();
    Reference<css::lang::XComponent> document = session->copySheet(document_, sheetName);
    // New workbooks are named as the spreadsheet application names them until they are saved.
    const QString name = QStringLiteral("Book%1").arg(++session->booksCreated);
    auto copy = std::make_shared<CalcWorkbook>(session, document, name, name);
    copy->setProtection(protection_);
    session->activate(copy);
}

void CalcWorkbook::SaveAs(const QString& fileName)
{
    ensureOpen();
    const auto session = session_.lock();
    const SaveAsTarget saveTarget = resolveSaveAsTarget(*session->seams, fileName, session->switches.displayAlerts);
    const QString& path = saveTarget.path;
    const QFileInfo target(path);
    session->call(QStringLiteral("'%1' was not saved").arg(path), [&] {
        Reference<css::frame::XStorable> storable(document_, UNO_QUERY_THROW);
        // A copy written to the file, not the document moved onto it: the office then keeps no
        // lock file beside the output.
        // The format follows the name: an .xlsx file is written as Open XML, anything else as .xls.
        const OUString format = HasOpenXmlEnding(path) ? OUString("Calc MS Excel 2007 XML") : OUString("MS Excel 97");
        std::vector<css::beans::PropertyValue> args{property("FilterName", css::uno::Any(format)),
                                                    // a file that appeared meanwhile is not replaced
                                                    property("Overwrite", css::uno::Any(saveTarget.replace))};
        if (protection_ && !session->switches.decryptOutputs)
            for (auto& p : protectionProperties(*protection_, HasOpenXmlEnding(path)))
                args.push_back(p);
        storable->storeToURL(fileUrl(path), properties(args));
    });
    fullName_ = path;
    name_ = target.fileName();
}

void CalcWorkbook::Close(bool /*saveChanges: this program never saves on close*/)
{
    ensureOpen();
    closeDocument();
}

void CalcWorkbook::closeDocument() noexcept
{
    if (closed_)
        return;
    closed_ = true;
    const auto session = session_.lock();
    try {
        if (session && !session->quit && !session->watchdog.fired())
            session->call(QStringLiteral("closing '%1'").arg(name_), [&] {
                Reference<css::util::XCloseable> closeable(document_, UNO_QUERY);
                if (closeable.is())
                    closeable->close(true);
                else if (document_.is())
                    document_->dispose();
            });
    } catch (const std::exception&) {
        // The document is gone from our side either way.
    }
    document_.clear();
    if (session)
        session->forget(this);
}

void CalcWorkbook::setWindowVisible(bool on) noexcept
{
    try {
        Reference<css::frame::XModel> model(document_, UNO_QUERY);
        if (!model.is())
            return;
        Reference<css::frame::XController> controller = model->getCurrentController();
        if (!controller.is())
            return;
        Reference<css::frame::XFrame> frame = controller->getFrame();
        if (frame.is() && frame->getContainerWindow().is())
            frame->getContainerWindow()->setVisible(on);
    } catch (const css::uno::Exception&) {
    }
}

// ---- the application ----

QString CalcApplication::defaultProgramDir() { return QStringLiteral(BRAKENFOLD_LO_PROGRAM_DIR); }

CalcApplication::CalcApplication(const platform::Seams& seams, const QString& programDir)
    : session_(std::make_shared<CalcSession>())
{
    session_->seams = &seams;
    const Reference<css::uno::XComponentContext> local = localContext(programDir);
    session_->office = std::make_unique<OfficeProcess>(programDir);
    session_->headless = session_->office->headless();
    try {
        const Reference<css::bridge::XUnoUrlResolver> resolver = css::bridge::UnoUrlResolver::create(local);
        const OUString url = toOU(session_->office->connectUrl());
        // The office takes a few seconds to open its pipe, longer on a busy machine.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        Reference<css::uno::XInterface> remote;
        while (!remote.is()) {
            try {
                remote = resolver->resolve(url);
            } catch (const css::connection::NoConnectException&) {
                if (!session_->office->running())
                    fail(QStringLiteral("LibreOffice ended while starting"));
                if (std::chrono::steady_clock::now() >= deadline)
                    fail(QStringLiteral("LibreOffice did not answer on its pipe"));
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        session_->context.set(remote, UNO_QUERY_THROW);
        session_->desktop = css::frame::Desktop::create(session_->context);
        session_->watchdog.start(session_->office->processGroup());
    } catch (const css::uno::Exception& e) {
        session_->office->stop(std::chrono::milliseconds(0));
        fail(QStringLiteral("LibreOffice could not be reached: %1").arg(toQ(e.Message)));
    } catch (...) {
        session_->office->stop(std::chrono::milliseconds(0));
        throw;
    }
}

CalcApplication::~CalcApplication()
{
    try {
        session_->shutdown();
    } catch (...) {
        // A destructor ends the office whatever it takes; OfficeProcess's own destructor follows.
    }
}

Workbooks& CalcApplication::workbooks()
{
    // Only Quit ends the collection: after a hung office was ended, closing what is left must
    // still work, while opening fails.
    if (session_->quit)
        fail(QStringLiteral("the spreadsheet application has quit"));
    if (!workbooks_)
        workbooks_ = std::make_unique<CalcWorkbooks>(session_);
    return *workbooks_;
}

std::shared_ptr<Workbook> CalcApplication::ActiveWorkbook()
{
    return session_->open.empty() ? nullptr : session_->open.back();
}

void CalcApplication::setVisible(bool on)
{
    const bool changed = session_->switches.visible != on;
    session_->switches.visible = on;
    // A headless office has no windows to show, and touching their stand-ins makes it crash.
    if (!changed || session_->headless || session_->quit || session_->watchdog.fired())
        return;
    for (const auto& book : session_->open)
        book->setWindowVisible(on);
}
Switches& CalcApplication::switches() const { return session_->switches; }

void CalcApplication::setBreakLinks(bool on)
{
    if (on)
        throw Error(err::SpreadsheetFailure,
                    QStringLiteral("the LibreOffice Calc backend does not offer values in place of links to other sheets; "
                                   "the native backend does"));
}

void CalcApplication::Quit() { session_->shutdown(); }

void CalcApplication::setCallTimeout(std::chrono::milliseconds timeout) { session_->callTimeout = timeout; }

pid_t CalcApplication::officeProcessGroup() const
{
    return session_->office ? session_->office->processGroup() : -1;
}

void addCalcBackend(Backends& backends)
{
    backends.add(QStringLiteral("calc"),
                 [](const platform::Seams& seams) { return std::make_unique<CalcApplication>(seams); });
}

} // namespace bf::automation::calc
