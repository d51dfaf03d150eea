#include "automation/Keyring.h"

namespace bf::automation {

namespace {
// The characters overwritten before the memory is released.
void wipe(QString& s) { s.fill(QChar(0)); }
} // namespace

Keyring::~Keyring()
{
    for (QString& p : known_)
        wipe(p);
    for (QString& p : candidates_)
        wipe(p);
}

void Keyring::addCandidate(const QString& password)
{
    if (!password.isEmpty() && !candidates_.contains(password))
        candidates_ << password;
}

std::shared_ptr<Workbook> Keyring::tryOpen(Workbooks& books, const QString& path, const QString& password,
                                           std::optional<PasswordError>& failure)
{
    try {
        auto book = books.Open(path, password);
        if (!password.isEmpty())
            known_.insert(path, password);
        return book;
    } catch (const PasswordError& e) {
        failure = e;
        return nullptr;
    }
}

std::shared_ptr<Workbook> Keyring::open(Workbooks& books, const QString& path)
{
    std::optional<PasswordError> failure;
    if (auto book = tryOpen(books, path, known_.value(path), failure))
        return book;
    for (const QString& candidate : std::as_const(candidates_))
        if (auto book = tryOpen(books, path, candidate, failure))
            return book;
    while (asker_) {
        std::optional<PasswordAnswer> answer = asker_(path, failure->why());
        if (!answer)
            throw PasswordError(PasswordError::Why::Cancelled, QStringLiteral("'%1' was not opened: no password was given").arg(path));
        if (answer->tryOnOthers)
            addCandidate(answer->password);
        auto book = tryOpen(books, path, answer->password, failure);
        wipe(answer->password);
        if (book)
            return book;
    }
    throw *failure;
}

} // namespace bf::automation
