#include "automation/native/NativeApplication.h"

#include "automation/SaveAsTarget.h"
#include "automation/native/EngineBook.h"
#include "book/WorkbookFile.h"

#include "platform/NewFile.h"
#include "platform/Seams.h"
#include "xlsx/XmlParserSetup.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace bf::automation::native {

class NativeWorkbook;

struct NativeState {
    const platform::Seams* seams = nullptr;
    Switches switches;
    bool quit = false;
    int newBooks = 0;
    book::ValuesDrops lastDrops; // of the last sheet copied
    // Open workbooks in activation order: the last one is the active one.
    std::vector<std::shared_ptr<NativeWorkbook>> open;

    void checkRunning() const
    {
        if (quit)
            throw Error(err::SpreadsheetFailure, QStringLiteral("the spreadsheet application has quit"));
    }
    void activate(const std::shared_ptr<NativeWorkbook>& wb)
    {
        open.erase(std::remove(open.begin(), open.end(), wb), open.end());
        open.push_back(wb);
    }
};

namespace {
// The absolute path of a name as given: relative to the working folder, "." and ".." folded,
// links not resolved.
QString absoluteOf(const QString& fileName) { return QDir::cleanPath(QFileInfo(fileName).absoluteFilePath()); }
} // namespace

class NativeWorkbook : public Workbook, public std::enable_shared_from_this<NativeWorkbook> {
public:
    NativeWorkbook(std::shared_ptr<NativeState> state, std::unique_ptr<EngineBook> book, QString fullName,
                   SheetCopy unsaved, std::optional<book::Protection> protection)
        : state_(std::move(state)), book_(std::move(book)), fullName_(std::move(fullName)),
          unsaved_(std::move(unsaved)), protection_(std::move(protection))
    {
    }

    QString FullName() const override
    {
        check();
        return fullName_;
    }
    QString Name() const override
    {
        check();
        return unsaved_.isNull() || saved_ ? QFileInfo(fullName_).fileName() : fullName_;
    }
    std::vector<std::shared_ptr<Worksheet>> Worksheets() override;
    std::shared_ptr<Worksheet> WorksheetByName(const QString& name) override;
    void SaveAs(const QString& fileName) override;
    void Close(bool saveChanges = false) override;

    void check() const
    {
        state_->checkRunning();
        if (closed_)
            throw Error(err::SpreadsheetFailure, QStringLiteral("the workbook '%1' has been closed").arg(fullName_));
    }
    // Copies sheet `index` into a new workbook, which becomes the active one.
    void copySheet(int index);
    bool closed() const { return closed_; }

private:
    std::shared_ptr<NativeState> state_;
    std::unique_ptr<EngineBook> book_;
    QString fullName_;
    SheetCopy unsaved_; // the content of a new workbook not read from a file
    // The password protection of the source file, which its copies are saved with.
    std::optional<book::Protection> protection_;
    bool saved_ = false;
    bool closed_ = false;
};

class NativeWorksheet : public Worksheet {
public:
    NativeWorksheet(std::weak_ptr<NativeWorkbook> book, const EngineSheet& sheet)
        : book_(std::move(book)), index_(sheet.index), name_(sheet.name), visibility_(sheet.visibility)
    {
    }
    QString Name() const override
    {
        lock();
        return name_;
    }
    book::Visibility Visibility() const override
    {
        lock();
        return visibility_;
    }
    void Copy() override { lock()->copySheet(index_); }

private:
    std::shared_ptr<NativeWorkbook> lock() const
    {
        auto book = book_.lock();
        if (!book)
            throw Error(err::SpreadsheetFailure, QStringLiteral("the worksheet '%1' belongs to a closed workbook").arg(name_));
        book->check();
        return book;
    }
    std::weak_ptr<NativeWorkbook> book_;
    int index_;
    QString name_;
    book::Visibility visibility_;
};

std::vector<std::shared_ptr<Worksheet>> NativeWorkbook::Worksheets()
{
    check();
    std::vector<std::shared_ptr<Worksheet>> sheets;
    for (const auto& s : book_->worksheets())
        sheets.push_back(std::make_shared<NativeWorksheet>(weak_from_this(), s));
    return sheets;
}

std::shared_ptr<Worksheet> NativeWorkbook::WorksheetByName(const QString& name)
{
    check();
    for (const auto& s : book_->worksheets())
        if (s.name == name)
            return std::make_shared<NativeWorksheet>(weak_from_this(), s);
    throw Error(err::SubscriptOutOfRange,
                QStringLiteral("the workbook '%1' has no worksheet named '%2'").arg(Name(), name));
}

void NativeWorkbook::copySheet(int index)
{
    const QString name = QStringLiteral("Book%1").arg(state_->newBooks + 1);
    SheetCopy content;
    state_->lastDrops = {};
    auto copy = book_->copySheet(index, fullName_, name, &content, state_->switches.breakLinks, &state_->lastDrops);
    ++state_->newBooks;
    auto wb = std::make_shared<NativeWorkbook>(state_, std::move(copy), name, std::move(content), protection_);
    state_->open.push_back(wb);
}

void NativeWorkbook::SaveAs(const QString& fileName)
{
    check();
    const SaveAsTarget saveTarget = resolveSaveAsTarget(*state_->seams, fileName, state_->switches.displayAlerts);
    const QString& target = saveTarget.path;
    const bool replace = saveTarget.replace;
    QByteArray content;
    bool fromTemporary = false; // the unsaved copy's own temporary file, saved as it stands
    if (unsaved_.isNull()) {
        QFile source(fullName_);
        if (!source.open(QIODevice::ReadOnly))
            throw Error(err::SpreadsheetFailure, QStringLiteral("'%1' cannot be saved: its source '%2' cannot be read")
                                                     .arg(target, fullName_));
        content = source.readAll();
    } else if (protection_ && !state_->switches.decryptOutputs) {
        try {
            content = book::protectWorkbook(unsaved_.whole(), *protection_, target);
        } catch (const book::Refusal& r) {
            throw Error(err::SpreadsheetFailure, r.message());
        }
    } else if (!unsaved_.file) {
        content = unsaved_.bytes;
    } else {
        fromTemporary = true;
    }
    try {
        if (fromTemporary)
            platform::writeNewFile(target, *unsaved_.file, replace, state_->seams->writeFault);
        else
            platform::writeNewFile(target, content, replace, state_->seams->writeFault);
    } catch (const platform::NewFileError& e) {
        throw Error(err::SpreadsheetFailure, e.detail());
    }
    fullName_ = target;
    saved_ = true;
}

void NativeWorkbook::Close(bool)
{
    check();
    closed_ = true;
    auto self = shared_from_this();
    state_->open.erase(std::remove(state_->open.begin(), state_->open.end(), self), state_->open.end());
}

class NativeWorkbooks : public Workbooks {
public:
    explicit NativeWorkbooks(std::shared_ptr<NativeState> state) : state_(std::move(state)) {}

    std::shared_ptr<Workbook> Open(const QString& fileName, const QString& password) override
    {
        state_->checkRunning();
        const QString full = absoluteOf(fileName);
        for (std::shared_ptr<NativeWorkbook> wb : state_->open) { // a copy: activate() reorders
            if (wb->FullName() == full) {
                state_->activate(wb);
                return wb;
            }
        }
        std::optional<book::Protection> protection;
        auto book = openEngineBook(full, password, &protection);
        auto wb = std::make_shared<NativeWorkbook>(state_, std::move(book), full, SheetCopy(), std::move(protection));
        state_->open.push_back(wb);
        return wb;
    }
    int Count() const override
    {
        state_->checkRunning();
        return static_cast<int>(state_->open.size());
    }
    void Close() override
    {
        state_->checkRunning();
        while (!state_->open.empty())
            state_->open.back()->Close(false);
    }

private:
    std::shared_ptr<NativeState> state_;
};

NativeApplication::NativeApplication(const platform::Seams& seams)
    : state_(std::make_shared<NativeState>()), workbooks_(std::make_unique<NativeWorkbooks>(state_))
{
    state_->seams = &seams;
    // Made on the thread that starts the split's jobs, before any of them reads a part.
    xlsx::prepareXmlParser();
}

NativeApplication::~NativeApplication()
{
    // Handles kept by callers see a quit application from now on. Closing takes a workbook off
    // the list, so the loop runs over a copy of it.
    const auto open = state_->open;
    for (const auto& wb : open)
        wb->Close(false);
    state_->quit = true;
}

Workbooks& NativeApplication::workbooks()
{
    state_->checkRunning();
    return *workbooks_;
}

std::shared_ptr<Workbook> NativeApplication::ActiveWorkbook()
{
    state_->checkRunning();
    return state_->open.empty() ? nullptr : state_->open.back();
}

book::ValuesDrops NativeApplication::takeValuesDrops()
{
    return std::exchange(state_->lastDrops, book::ValuesDrops{});
}

Switches& NativeApplication::switches() const { return state_->switches; }

void NativeApplication::Quit()
{
    if (state_->quit)
        return;
    workbooks_->Close();
    state_->quit = true;
}

} // namespace bf::automation::native
