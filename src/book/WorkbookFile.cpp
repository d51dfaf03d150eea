#include "book/WorkbookFile.h"

#include "book/Cfb.h"
#include "platform/InputFile.h"

#include <algorithm>

namespace bf::book {

namespace {
Refusal refusalOf(const platform::InputFileError& e)
{
    using W = platform::InputFileError::Why;
    const Refusal::Why why = e.why() == W::Missing      ? Refusal::Why::Missing
                             : e.why() == W::NotRegular ? Refusal::Why::NotRegular
                                                        : Refusal::Why::Unreadable;
    return Refusal(why, FileKind::Unknown, e.description());
}
} // namespace

Refusal::Refusal(Why why, FileKind kind, const QString& message)
    : std::runtime_error(message.toStdString()), why_(why), kind_(kind), message_(message)
{
}

QString refusalText(const QString& displayName, FileKind kind)
{
    return QStringLiteral("'%1' cannot be opened: %2").arg(displayName, describe(kind));
}

void requireKind(FileKind kind, const QString& displayName, std::initializer_list<FileKind> accepted)
{
    if (std::find(accepted.begin(), accepted.end(), kind) == accepted.end())
        throw Refusal(Refusal::Why::Kind, kind, refusalText(displayName, kind));
}

WorkbookFile::WorkbookFile(const QString& path) : path_(path)
{
    try {
        file_ = std::make_unique<platform::InputFile>(path);
        sniffed_ = sniffFile(file_->readHead(512), file_->descriptorPath());
    } catch (const platform::InputFileError& e) {
        throw refusalOf(e);
    }
}

WorkbookFile::~WorkbookFile() = default;

std::unique_ptr<CfbFile> WorkbookFile::takeContainer() { return std::move(sniffed_.container); }

std::unique_ptr<platform::InputFile> WorkbookFile::takeFile() { return std::move(file_); }

QByteArray WorkbookFile::readAll()
{
    try {
        return file_->readAll();
    } catch (const platform::InputFileError& e) {
        throw refusalOf(e);
    }
}

} // namespace bf::book
