#pragma once
// The passwords of one run, in memory only (never stored, written or logged): the one that
// opened each workbook, so the split reopens it without asking again, and those tried on any
// workbook (a password file's lines, a password given for the rest of a folder). When none of
// them opens a workbook, the asker is asked, as long as it answers.
#include "automation/SpreadsheetApplication.h"

#include <QHash>
#include <QStringList>

#include <functional>
#include <optional>

namespace bf::automation {

struct PasswordAnswer {
    QString password;
    bool tryOnOthers = false; // try it on the workbooks opened after this one too
};

class Keyring {
public:
    // Asked for the password of the workbook at path, after a missing (Needed) or a wrong one;
    // nothing: the user gave up on that workbook.
    using Asker = std::function<std::optional<PasswordAnswer>(const QString& path, PasswordError::Why why)>;

    Keyring() = default;
    ~Keyring();
    Keyring(const Keyring&) = delete;
    Keyring& operator=(const Keyring&) = delete;

    void setAsker(Asker asker) { asker_ = std::move(asker); }
    // The passwords other knows (each workbook's and those tried on any), for another
    // application of the same run; not its asker.
    void learnFrom(const Keyring& other)
    {
        known_ = other.known_;
        candidates_ = other.candidates_;
    }
    void addCandidate(const QString& password);

    // Opens the workbook with the passwords known, then with the asker's. Throws what Open
    // throws; PasswordError Cancelled when the asker gave up.
    std::shared_ptr<Workbook> open(Workbooks& books, const QString& path);

private:
    std::shared_ptr<Workbook> tryOpen(Workbooks& books, const QString& path, const QString& password,
                                      std::optional<PasswordError>& failure);
    Asker asker_;
    QHash<QString, QString> known_;
    QStringList candidates_;
};

} // namespace bf::automation
