#pragma once
// The one door every backend opens a workbook file through: it must be a readable regular file
// (a FIFO, a device or a folder is refused at once, never waited on), and its kind is told from
// its bytes. A refusal names the file once, with its one reason.
#include "book/FileKind.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>
#include <memory>
#include <stdexcept>

namespace bf::platform {
class InputFile;
}

namespace bf::book {

class Refusal : public std::runtime_error {
public:
    enum class Why { Missing, NotRegular, Unreadable, Kind };
    Refusal(Why why, FileKind kind, const QString& message);
    Why why() const { return why_; }
    // The file's kind when why() is Kind.
    FileKind kind() const { return kind_; }
    const QString& message() const { return message_; }

private:
    Why why_;
    FileKind kind_;
    QString message_;
};

// "'<name>' cannot be opened: <what the kind is>".
QString refusalText(const QString& displayName, FileKind kind);
// Throws Refusal naming displayName and the kind unless kind is one of accepted.
void requireKind(FileKind kind, const QString& displayName, std::initializer_list<FileKind> accepted);

class WorkbookFile {
public:
    // Throws Refusal: Missing, NotRegular or Unreadable.
    explicit WorkbookFile(const QString& path);
    ~WorkbookFile();
    WorkbookFile(const WorkbookFile&) = delete;
    WorkbookFile& operator=(const WorkbookFile&) = delete;

    FileKind kind() const { return sniffed_.kind; }
    // Throws Refusal naming the file and its kind unless the kind is one of accepted.
    void require(std::initializer_list<FileKind> accepted) const { requireKind(kind(), path_, accepted); }
    // The compound-file container opened to tell the kind (null when none), handed over once,
    // and why it could not be opened.
    std::unique_ptr<CfbFile> takeContainer();
    const QString& containerProblem() const { return sniffed_.containerProblem; }
    // The whole file. Throws Refusal (Unreadable).
    QByteArray readAll();
    // The open file itself, handed over once, for a reader that reads it in pieces.
    std::unique_ptr<platform::InputFile> takeFile();

private:
    QString path_;
    std::unique_ptr<platform::InputFile> file_;
    Sniffed sniffed_;
};

} // namespace bf::book
