#pragma once
// A scripted stand-in for the spreadsheet application, for tests that must make the application
// misbehave or that do not want real files. Workbooks are scripted by path with their worksheet
// names; every call is recorded (opens, closes, copies, saves) and any operation can be made to
// fail with a chosen error number, optionally only after a number of good calls.
//
//   bf::test::FakeSpreadsheet app;
//   app.addWorkbook("/data/a.xls", {"Sheet1", "Sheet2"});
//   app.failOn(bf::test::FakeOp::Open, "/data/b.xls", bf::err::SpreadsheetFailure);
//
// Handles behave as the real ones: a closed workbook or a worksheet of it fails with 1004.
#include "automation/SpreadsheetApplication.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace bf::test {

enum class FakeOp { Open, Worksheets, WorksheetName, WorksheetByName, Copy, SaveAs, Close, CloseAll };

class FakeSpreadsheet;

namespace fake_detail {

struct BookState;

struct SheetState {
    QString name;
    std::weak_ptr<BookState> book;
};

struct BookState {
    QString fullName;
    QString name;
    QStringList sheets;
    bool open = true;
    bool isNew = false;     // made by Copy, not yet saved
    QString copiedFrom;     // for a new workbook: "<source FullName>|<sheet name>"
};

} // namespace fake_detail

// A workbook as scripted: its worksheet names in order (an empty list is a workbook with chart
// sheets only), or nullReturn to make Open give back no workbook at all.
struct FakeBookScript {
    QStringList sheets;
    bool nullReturn = false;
};

// One save as the fake saw it.
struct FakeSave {
    QString fileName;      // as given, trailing blanks trimmed
    QString sourceFile;    // the workbook the sheet was copied from ("" for an opened workbook)
    QString sheetName;     // the sheet it holds when made by Copy
};

class FakeSpreadsheet : public automation::SpreadsheetApplication {
public:
    FakeSpreadsheet() : books_(*this) {}

    // ---- scripting -------------------------------------------------------------------------
    FakeBookScript& addWorkbook(const QString& path, const QStringList& sheets)
    {
        FakeBookScript& s = scripts_[normal(path)];
        s.sheets = sheets;
        s.nullReturn = false;
        return s;
    }
    // Open returns nullptr for this path (no error raised).
    void addNullWorkbook(const QString& path) { scripts_[normal(path)].nullReturn = true; }

    // Makes op fail with number (and description, or the standard one) when its subject matches:
    // the path for Open/SaveAs, the workbook FullName for Worksheets/Close/Copy's source book,
    // the sheet name for WorksheetName/WorksheetByName/Copy; an empty subject matches anything.
    // The first `after` matching calls succeed; `times` calls fail after that (-1: all).
    void failOn(FakeOp op, const QString& subject, std::int32_t number, const QString& description = QString(),
                int after = 0, int times = -1)
    {
        failures_.push_back({op, subject, number, description, after, times});
    }
    void clearFailures() { failures_.clear(); }
    // Called before every operation with its subject; may throw to fail it.
    std::function<void(FakeOp, const QString&)> beforeOp;

    // Saves write a small file at the target so later file checks find it.
    bool writeFilesOnSave = false;
    // The answer to the overwrite question asked (DisplayAlerts on) when a save target exists.
    bool overwriteAnswerYes = false;

    // ---- records ---------------------------------------------------------------------------
    QStringList opened;            // every Open argument, in order
    QStringList closed;            // FullName of each workbook closed, in order
    std::vector<FakeSave> saves;   // every successful SaveAs
    QStringList copies;            // "<source FullName>|<sheet>" for every Copy
    QStringList overwriteQuestions;
    int closeAllCount = 0;
    int quitCount = 0;

    int openCount() const { return static_cast<int>(opened.size()); }
    int closeCount() const { return static_cast<int>(closed.size()); }
    // Workbooks currently open (scripted and new ones).
    int openWorkbookCount() const
    {
        int n = 0;
        for (const auto& b : all_)
            n += b->open ? 1 : 0;
        return n;
    }

    // ---- the application -------------------------------------------------------------------
    automation::Workbooks& workbooks() override { return books_; }
    std::shared_ptr<automation::Workbook> ActiveWorkbook() override
    {
        for (auto it = activeOrder_.rbegin(); it != activeOrder_.rend(); ++it)
            if ((*it)->open)
                return std::make_shared<Book>(*this, *it);
        return nullptr;
    }
    void setVisible(bool on) override { visible_ = on; }
    bool Visible() const override { return visible_; }
    void setDisplayAlerts(bool on) override { displayAlerts_ = on; }
    bool DisplayAlerts() const override { return displayAlerts_; }
    void setScreenUpdating(bool on) override { screenUpdating_ = on; }
    bool ScreenUpdating() const override { return screenUpdating_; }
    void setAskToUpdateLinks(bool on) override { askToUpdateLinks_ = on; }
    bool AskToUpdateLinks() const override { return askToUpdateLinks_; }
    void setEnableEvents(bool on) override { enableEvents_ = on; }
    bool EnableEvents() const override { return enableEvents_; }
    void Quit() override
    {
        ++quitCount;
        for (auto& b : all_)
            b->open = false;
    }

private:
    using BookPtr = std::shared_ptr<fake_detail::BookState>;

    struct Failure {
        FakeOp op;
        QString subject;
        std::int32_t number;
        QString description;
        int after;
        int times;
    };

    static QString normal(const QString& path)
    {
        return QDir::cleanPath(QFileInfo(path).isAbsolute() ? path : QDir::current().absoluteFilePath(path));
    }

    void check(FakeOp op, const QString& subject)
    {
        if (beforeOp)
            beforeOp(op, subject);
        for (auto& f : failures_) {
            if (f.op != op || (!f.subject.isEmpty() && f.subject != subject))
                continue;
            if (f.after > 0) {
                --f.after;
                continue;
            }
            if (f.times == 0)
                continue;
            if (f.times > 0)
                --f.times;
            throw Error(f.number, f.description.isEmpty() ? standardDescription(f.number) : f.description);
        }
    }

    static void requireOpen(const BookPtr& b)
    {
        if (!b->open)
            throw Error(err::SpreadsheetFailure, QStringLiteral("The workbook '%1' is closed.").arg(b->name));
    }

    void activate(const BookPtr& b)
    {
        std::erase(activeOrder_, b);
        activeOrder_.push_back(b);
    }

    class Sheet : public automation::Worksheet {
    public:
        Sheet(FakeSpreadsheet& app, BookPtr book, QString name) : app_(app), book_(std::move(book)), name_(std::move(name)) {}
        QString Name() const override
        {
            requireOpen(book_);
            app_.check(FakeOp::WorksheetName, name_);
            return name_;
        }
        void Copy() override
        {
            requireOpen(book_);
            app_.check(FakeOp::Copy, name_);
            app_.check(FakeOp::Copy, book_->fullName);
            auto b = std::make_shared<fake_detail::BookState>();
            b->name = QStringLiteral("Book%1").arg(++app_.newBookNumber_);
            b->fullName = b->name;
            b->sheets = {name_};
            b->isNew = true;
            b->copiedFrom = book_->fullName + '|' + name_;
            app_.copies << b->copiedFrom;
            app_.all_.push_back(b);
            app_.activate(b);
        }

    private:
        FakeSpreadsheet& app_;
        BookPtr book_;
        QString name_;
    };

    class Book : public automation::Workbook {
    public:
        Book(FakeSpreadsheet& app, BookPtr state) : app_(app), s_(std::move(state)) {}
        QString FullName() const override
        {
            requireOpen(s_);
            return s_->fullName;
        }
        QString Name() const override
        {
            requireOpen(s_);
            return s_->name;
        }
        std::vector<std::shared_ptr<automation::Worksheet>> Worksheets() override
        {
            requireOpen(s_);
            app_.check(FakeOp::Worksheets, s_->fullName);
            std::vector<std::shared_ptr<automation::Worksheet>> list;
            for (const QString& n : s_->sheets)
                list.push_back(std::make_shared<Sheet>(app_, s_, n));
            return list;
        }
        std::shared_ptr<automation::Worksheet> WorksheetByName(const QString& name) override
        {
            requireOpen(s_);
            app_.check(FakeOp::WorksheetByName, name);
            if (!s_->sheets.contains(name))
                raise(err::SubscriptOutOfRange);
            return std::make_shared<Sheet>(app_, s_, name);
        }
        void SaveAs(const QString& fileName) override
        {
            requireOpen(s_);
            QString target = fileName;
            while (target.endsWith(' '))
                target.chop(1);
            app_.check(FakeOp::SaveAs, target);
            if (QFileInfo::exists(target)) {
                bool replace = false;
                if (app_.displayAlerts_) {
                    app_.overwriteQuestions << target;
                    replace = app_.overwriteAnswerYes;
                }
                if (!replace)
                    throw Error(err::SpreadsheetFailure,
                                QStringLiteral("Cannot save '%1': the file exists.").arg(target));
            }
            if (app_.writeFilesOnSave) {
                QFile f(target);
                if (!f.open(QIODevice::WriteOnly))
                    throw Error(err::PathNotFound, QStringLiteral("Cannot write '%1'.").arg(target));
                f.write("fake workbook\n" + s_->sheets.join('\n').toUtf8());
            }
            FakeSave save{target, QString(), QString()};
            if (s_->isNew) {
                const int bar = s_->copiedFrom.lastIndexOf('|');
                save.sourceFile = s_->copiedFrom.left(bar);
                save.sheetName = s_->copiedFrom.mid(bar + 1);
            }
            app_.saves.push_back(save);
            s_->fullName = QFileInfo(target).absoluteFilePath();
            s_->name = QFileInfo(target).fileName();
            s_->isNew = false;
        }
        void Close(bool) override
        {
            requireOpen(s_);
            app_.check(FakeOp::Close, s_->fullName);
            s_->open = false;
            app_.closed << s_->fullName;
            std::erase(app_.activeOrder_, s_);
        }

    private:
        FakeSpreadsheet& app_;
        BookPtr s_;
    };

    class Books : public automation::Workbooks {
    public:
        explicit Books(FakeSpreadsheet& app) : app_(app) {}
        std::shared_ptr<automation::Workbook> Open(const QString& fileName) override
        {
            app_.opened << fileName;
            const QString path = normal(fileName);
            app_.check(FakeOp::Open, fileName);
            for (const auto& b : app_.all_) {
                if (b->open && !b->isNew && b->fullName == path) {
                    app_.activate(b);
                    return std::make_shared<Book>(app_, b);
                }
            }
            const auto it = app_.scripts_.find(path);
            if (it == app_.scripts_.end())
                throw Error(err::SpreadsheetFailure,
                            QStringLiteral("'%1' could not be found.").arg(fileName));
            if (it->second.nullReturn)
                return nullptr;
            auto b = std::make_shared<fake_detail::BookState>();
            b->fullName = path;
            b->name = QFileInfo(path).fileName();
            b->sheets = it->second.sheets;
            app_.all_.push_back(b);
            app_.activate(b);
            return std::make_shared<Book>(app_, b);
        }
        int Count() const override { return app_.openWorkbookCount(); }
        void Close() override
        {
            app_.check(FakeOp::CloseAll, QString());
            ++app_.closeAllCount;
            for (auto& b : app_.all_) {
                if (b->open) {
                    b->open = false;
                    app_.closed << b->fullName;
                }
            }
            app_.activeOrder_.clear();
        }

    private:
        FakeSpreadsheet& app_;
    };

    Books books_;
    std::map<QString, FakeBookScript> scripts_;
    std::vector<BookPtr> all_;
    std::vector<BookPtr> activeOrder_;
    std::vector<Failure> failures_;
    int newBookNumber_ = 0;
    bool visible_ = false;
    bool displayAlerts_ = true;
    bool screenUpdating_ = true;
    bool askToUpdateLinks_ = true;
    bool enableEvents_ = true;
};

} // namespace bf::test
