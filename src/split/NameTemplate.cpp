#include "split/NameTemplate.h"

#include "core/Error.h"
#include "core/Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace bf::split {

namespace {

// The longest file name the file systems in use take, in bytes.
constexpr qsizetype kMaxFileNameBytes = 255;

Error templateError(const QString& text, const QString& why)
{
    return Error(err::InvalidProcedureCall, QStringLiteral("the file name template \"%1\" %2").arg(text, why));
}

} // namespace

NameTemplate NameTemplate::parse(const QString& text)
{
    static const QHash<QString, Field> fields = {{QStringLiteral("sheet"), Field::Sheet},
                                                 {QStringLiteral("book"), Field::Book},
                                                 {QStringLiteral("stamp"), Field::Stamp},
                                                 {QStringLiteral("index"), Field::Index}};
    NameTemplate t;
    QString literal;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('}'))
            throw templateError(text, QStringLiteral("has a \"}\" that closes no field"));
        if (c != QLatin1Char('{')) {
            literal += c;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('}'), i + 1);
        const qsizetype nextOpen = text.indexOf(QLatin1Char('{'), i + 1);
        if (close < 0 || (nextOpen >= 0 && nextOpen < close))
            throw templateError(text, QStringLiteral("has a \"{\" without its \"}\""));
        const QString name = text.mid(i + 1, close - i - 1);
        const auto field = fields.constFind(name);
        if (field == fields.constEnd())
            throw templateError(text, QStringLiteral("names no field {%1} (the fields are {sheet}, {book}, {stamp} "
                                                     "and {index}, in lower case)")
                                          .arg(name));
        if (!literal.isEmpty())
            t.pieces_.push_back({Field::Literal, literal});
        literal.clear();
        t.pieces_.push_back({*field, QString()});
        i = close;
    }
    if (!literal.isEmpty())
        t.pieces_.push_back({Field::Literal, literal});
    return t;
}

QString NameTemplate::render(const NameFields& fields) const
{
    QString out;
    for (const Piece& p : pieces_) {
        switch (p.field) {
        case Field::Literal: out += p.text; break;
        case Field::Sheet: out += fields.sheet; break;
        case Field::Book: out += fields.book; break;
        case Field::Stamp: out += fields.stamp; break;
        case Field::Index: out += QString::number(fields.index); break;
        }
    }
    return out;
}

QString nameRefusal(const QString& name, const QString& extension)
{
    if (name.isEmpty())
        return QStringLiteral("the name is empty");
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(u'\0')))
        return QStringLiteral("the name holds a \"/\" or a NUL character, which no file name may hold");
    const qsizetype bytes = QFile::encodeName(name + extension).size();
    if (bytes > kMaxFileNameBytes)
        return QStringLiteral("the name with its extension is %1 bytes long, more than the %2 a file name may hold")
            .arg(bytes)
            .arg(kMaxFileNameBytes);
    return QString();
}

QString bookFieldOf(const QString& workbookPath)
{
    const QString fileName = QFileInfo(workbookPath).fileName();
    return fileName.left(std::max<qsizetype>(0, fileName.size() - (HasOpenXmlEnding(fileName) ? 5 : 4)));
}

QStringList outputNamesOf(const tasklist::TaskRows& rows, const NameTemplate& nameTemplate, const QString& stamp,
                          const std::vector<bool>& leftOut, bool check)
{
    QStringList names;
    QSet<QString> taken; // workbook path and name
    const int count = rows.rowCount();
    for (int row = 1; row <= count; ++row) {
        if (leftOut.at(static_cast<std::size_t>(row - 1))) {
            names << QString();
            continue;
        }
        const QString path = rows.sourceFileName(row);
        const QString sheet = rows.worksheetName(row);
        const QString name = nameTemplate.render({sheet, bookFieldOf(path), stamp, rows.sheetFacts(row).position});
        names << name;
        if (!check)
            continue;
        const QString extension = HasOpenXmlEnding(path) ? QStringLiteral(".xlsx") : QStringLiteral(".xls");
        QString refusal = nameRefusal(name, extension);
        if (refusal.isEmpty() && !taken.contains(path + QChar(u'\0') + name))
            taken.insert(path + QChar(u'\0') + name);
        else if (refusal.isEmpty())
            refusal = QStringLiteral("an earlier worksheet of the workbook has the name \"%1\" already").arg(name);
        if (!refusal.isEmpty())
            throw Error(err::InvalidProcedureCall,
                        QStringLiteral("nothing was written: the file name template gives row %1 (%2, worksheet \"%3\") "
                                       "no file name: %4")
                            .arg(row)
                            .arg(path, sheet, refusal));
    }
    return names;
}

FirstOutputName firstOutputName(const QString& templateText, const tasklist::TaskRows* rows, const QString& stamp)
{
    const bool listed = rows && rows->rowCount() > 0;
    const QString path = listed ? rows->sourceFileName(1) : QStringLiteral("Book1.xls");
    const NameFields fields{listed ? rows->worksheetName(1) : QStringLiteral("Sheet1"), bookFieldOf(path), stamp,
                            listed ? rows->sheetFacts(1).position : 1};
    const QString extension = HasOpenXmlEnding(path) ? QStringLiteral(".xlsx") : QStringLiteral(".xls");
    try {
        const QString name = NameTemplate::parse(templateText).render(fields);
        const QString why = nameRefusal(name, extension);
        return {name + extension, why.isEmpty() ? QString()
                                                : QStringLiteral("the file name template \"%1\" gives no file name: %2")
                                                      .arg(templateText, why)};
    } catch (const Error& e) {
        return {QString(), e.description()};
    }
}

} // namespace bf::split
