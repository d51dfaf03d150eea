#pragma once
// The bytes of Config.cfg and the key=value lines in them. A file that starts with the UTF-16LE
// mark FF FE, or has no mark and holds a NUL byte, is UTF-16LE; one that starts with the UTF-8
// mark, or has no mark and is valid UTF-8, is UTF-8; anything else is read as UTF-16LE. Lines
// end in CR LF or a lone LF; the first "=" splits key and value; empty lines are skipped; a line
// without "=" ends the reading. The file is written back as it was read, with only the values
// that were set replaced, in the file's own encoding.
#include <QByteArray>
#include <QString>
#include <vector>

namespace bf::config {

enum class Encoding { Utf16Le, Utf8 };

// One key=value line as it stands in the file; the value's place is in bytes.
struct Line {
    QString key;
    QString value;
    qsizetype valueBegin;
    qsizetype valueEnd;
};

struct ParsedFile {
    Encoding encoding = Encoding::Utf8;
    std::vector<Line> lines; // in file order, repeated keys included
    bool stoppedAtMalformedLine = false;
};

ParsedFile parse(const QByteArray& bytes);

// A new value for the bytes from begin to end.
struct ValueChange {
    qsizetype begin;
    qsizetype end;
    QString value;
};

// bytes with each change's range holding its value in encoding; the changes must not overlap.
QByteArray withValuesReplaced(const QByteArray& bytes, Encoding encoding, std::vector<ValueChange> changes);

} // namespace bf::config
