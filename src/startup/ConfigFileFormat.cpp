#include "startup/ConfigFileFormat.h"

#include <QStringDecoder>
#include <algorithm>

namespace bf::config {

namespace {

Encoding detect(const QByteArray& bytes, qsizetype* textStart)
{
    *textStart = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        *textStart = 2;
        return Encoding::Utf16Le;
    }
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        *textStart = 3;
        return Encoding::Utf8;
    }
    // UTF-16 text of this file's keys always has NUL bytes; UTF-8 text never has.
    if (bytes.contains('\0'))
        return Encoding::Utf16Le;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? Encoding::Utf16Le : Encoding::Utf8;
}

class Text {
public:
    Text(const QByteArray& bytes, Encoding encoding) : bytes_(bytes), unit_(encoding == Encoding::Utf16Le ? 2 : 1) {}
    int unit() const { return unit_; }
    char16_t at(qsizetype p) const
    {
        const auto byte = [&](qsizetype i) { return static_cast<char16_t>(static_cast<unsigned char>(bytes_[i])); };
        return unit_ == 1 ? byte(p) : static_cast<char16_t>(byte(p) | (byte(p + 1) << 8));
    }
    QString decode(qsizetype begin, qsizetype end) const
    {
        if (unit_ == 1)
            return QString::fromUtf8(bytes_.constData() + begin, end - begin);
        QString text;
        text.reserve((end - begin) / 2);
        for (qsizetype p = begin; p < end; p += 2)
            text.append(QChar(at(p)));
        return text;
    }

private:
    const QByteArray& bytes_;
    int unit_;
};

QByteArray encode(const QString& text, Encoding encoding)
{
    if (encoding == Encoding::Utf8)
        return text.toUtf8();
    QByteArray out;
    out.reserve(text.size() * 2);
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

} // namespace

ParsedFile parse(const QByteArray& bytes)
{
    ParsedFile file;
    qsizetype pos = 0;
    file.encoding = detect(bytes, &pos);
    const Text text(bytes, file.encoding);
    const int unit = text.unit();
    // An odd last byte of UTF-16 text is no character; it stays in the file as it is.
    const qsizetype end = bytes.size() - (bytes.size() - pos) % unit;
    while (pos < end) {
        const qsizetype lineStart = pos;
        qsizetype lineEnd = end;
        qsizetype equals = -1;
        for (qsizetype p = pos; p < end; p += unit) {
            const char16_t u = text.at(p);
            const bool crLf = u == u'\r' && p + unit < end && text.at(p + unit) == u'\n';
            if (u == u'\n' || crLf) {
                lineEnd = p;
                break;
            }
            if (u == u'=' && equals < 0)
                equals = p;
        }
        pos = lineEnd == end ? end : lineEnd + (text.at(lineEnd) == u'\r' ? 2 * unit : unit);
        if (lineEnd == lineStart)
            continue;
        if (equals < 0) {
            file.stoppedAtMalformedLine = true;
            break;
        }
        file.lines.push_back({text.decode(lineStart, equals), text.decode(equals + unit, lineEnd), equals + unit, lineEnd});
    }
    return file;
}

QByteArray withValuesReplaced(const QByteArray& bytes, Encoding encoding, std::vector<ValueChange> changes)
{
    std::sort(changes.begin(), changes.end(), [](const ValueChange& a, const ValueChange& b) { return a.begin < b.begin; });
    QByteArray out;
    out.reserve(bytes.size());
    qsizetype copied = 0;
    for (const ValueChange& change : changes) {
        out.append(bytes.constData() + copied, change.begin - copied);
        out.append(encode(change.value, encoding));
        copied = change.end;
    }
    out.append(bytes.constData() + copied, bytes.size() - copied);
    return out;
}

} // namespace bf::config
