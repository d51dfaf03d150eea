#pragma once
// A pull reader over a small package part (relationships, content types, workbook), on
// libxml2's streaming xmlTextReader: no network, no DTD loading, no entity substitution, and a
// part declaring a document type is refused before parsing starts.
#include <QByteArray>
#include <QString>

#include <optional>

typedef struct _xmlTextReader* xmlTextReaderPtr;

namespace bf::xlsx {

class XmlReader {
public:
    // Throws XlsxError (EntityDeclaration) when the part declares a document type.
    XmlReader(const QByteArray& part, QString detail);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Moves to the next start of an element; false at the end. Throws XlsxError
    // (MalformedXml) when the part is not well-formed.
    bool nextElement();
    QString localName() const;
    QString namespaceUri() const;
    int depth() const;
    std::optional<QString> attribute(const char* name) const;
    std::optional<QString> attribute(const char* localName, const char* namespaceUri) const;
    // The text content of the current element (reads past it).
    QString readText();

private:
    QByteArray part_; // the parser reads it in place
    xmlTextReaderPtr reader_ = nullptr;
    QString detail_;
};

} // namespace bf::xlsx
