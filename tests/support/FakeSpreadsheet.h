#pragma once
// A scripted stand-in for the spreadsheet application, for tests that must make it fail: workbooks
// are scripted by path with their worksheet names; opens, closes and saves (an empty file) are
// recorded; beforeOp may throw a bf::Error to fail an operation. A closed workbook's handle fails.
#include "automation/Switches.h"
#include "core/Error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <map>

namespace bf::test {

enum class FakeOp { Open, WorksheetName, SaveAs };

class FakeSpreadsheet : public automation::SwitchedApplication {
public:
    void addWorkbook(const QString& path, const QStringList& sheets) { scripts_[normal(path)] = sheets; }
    std::function<void(FakeOp, const QString& subject)> beforeOp = [](FakeOp, const QString&) {}; // path or sheet

    std::map<QString, book::Visibility> hidden; // by worksheet name; the others are visible
    QStringList opened, closed; // every Open argument; the FullName of every workbook closed
    QStringList saved;          // "<source workbook>|<sheet>" of every copy saved
    int openWorkbookCount() const { return static_cast<int>(open_.size()); }
    book::ValuesDrops copyDrops; // what each copy leaves out with values

    book::ValuesDrops takeValuesDrops() override { return BreakLinks() ? copyDrops : book::ValuesDrops{}; }
    automation::Workbooks& workbooks() override { return books_; }
    std::shared_ptr<automation::Workbook> ActiveWorkbook() override { return open_.empty() ? nullptr : open_.back(); }
    void Quit() override { open_.clear(); }

private:
    static QString normal(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }
    automation::Switches& switches() const override { return switches_; }

    struct Sheet : automation::Worksheet {
        Sheet(FakeSpreadsheet& a, QString b, QString n) : app(a), book(std::move(b)), name(std::move(n)) {}
        QString Name() const override { return app.beforeOp(FakeOp::WorksheetName, name), name; }
        book::Visibility Visibility() const override
        {
            const auto it = app.hidden.find(name);
            return it == app.hidden.end() ? book::Visibility::Visible : it->second;
        }
        void Copy() override { app.open_.push_back(std::make_shared<Book>(app, "Book1", QStringList{name}, book)); }
        FakeSpreadsheet& app;
        QString book, name;
    };

    struct Book : automation::Workbook {
        Book(FakeSpreadsheet& a, QString f, QStringList s, QString from = QString())
            : app(a), full(std::move(f)), copiedFrom(std::move(from)), sheets(std::move(s))
        {
        }
        QString FullName() const override { return live(), full; }
        QString Name() const override { return live(), QFileInfo(full).fileName(); }
        std::vector<std::shared_ptr<automation::Worksheet>> Worksheets() override
        {
            std::vector<std::shared_ptr<automation::Worksheet>> list;
            for (const QString& s : sheets)
                list.push_back(WorksheetByName(s));
            return list;
        }
        std::shared_ptr<automation::Worksheet> WorksheetByName(const QString& name) override
        {
            live();
            if (!sheets.contains(name))
                raise(err::SubscriptOutOfRange);
            return std::make_shared<Sheet>(app, full, name);
        }
        void SaveAs(const QString& fileName) override
        {
            live();
            QString target = fileName;
            while (target.endsWith(' '))
                target.chop(1);
            app.beforeOp(FakeOp::SaveAs, target);
            if (QFile file(target); !file.open(QIODevice::NewOnly))
                throw Error(err::SpreadsheetFailure, "'" + target + "' cannot be saved");
            app.saved << copiedFrom + '|' + sheets.value(0);
            full = target;
        }
        void Close(bool) override
        {
            live();
            app.closed << full;
            std::erase_if(app.open_, [this](const auto& b) { return b.get() == this; });
        }
        void live() const
        {
            if (std::none_of(app.open_.begin(), app.open_.end(), [this](const auto& b) { return b.get() == this; }))
                throw Error(err::SpreadsheetFailure, "the workbook '" + full + "' is closed");
        }
        FakeSpreadsheet& app;
        QString full, copiedFrom;
        QStringList sheets;
    };

    struct Books : automation::Workbooks {
        explicit Books(FakeSpreadsheet& a) : app(a) {}
        std::shared_ptr<automation::Workbook> Open(const QString& fileName, const QString& = QString()) override
        {
            app.opened << fileName;
            app.beforeOp(FakeOp::Open, fileName);
            const QString path = normal(fileName);
            if (!app.scripts_.count(path))
                throw Error(err::SpreadsheetFailure, "'" + fileName + "' could not be found");
            return app.open_.emplace_back(std::make_shared<Book>(app, path, app.scripts_[path]));
        }
        int Count() const override { return app.openWorkbookCount(); }
        void Close() override
        {
            for (const auto& b : app.open_)
                app.closed << b->full;
            app.open_.clear();
        }
        FakeSpreadsheet& app;
    };

    Books books_{*this};
    std::map<QString, QStringList> scripts_;
    std::vector<std::shared_ptr<Book>> open_; // in activation order: the last is the active one
    mutable automation::Switches switches_;
};

} // namespace bf::test
