#include "xlsx/XmlReader.h"

#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlScanner.h"

#include <libxml/xmlreader.h>

namespace bf::xlsx {

namespace {

QString fromXml(const xmlChar* s)
{
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

std::optional<QString> taken(xmlChar* s)
{
    if (!s)
        return std::nullopt;
    QString out = fromXml(s);
    xmlFree(s);
    return out;
}

void ignoreErrors(void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}

} // namespace

XmlReader::XmlReader(const QByteArray& part, QString detail) : part_(part), detail_(std::move(detail))
{
    refuseDoctype(part_, detail_);
    reader_ = xmlReaderForMemory(part_.constData(), int(part_.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!reader_)
        fail(XlsxStatus::MalformedXml, detail_);
    xmlTextReaderSetErrorHandler(reader_, ignoreErrors, nullptr);
}

XmlReader::~XmlReader()
{
    if (reader_)
        xmlFreeTextReader(reader_);
}

bool XmlReader::nextElement()
{
    for (;;) {
        const int rc = xmlTextReaderRead(reader_);
        if (rc == 0)
            return false;
        if (rc < 0)
            fail(XlsxStatus::MalformedXml, detail_);
        const int type = xmlTextReaderNodeType(reader_);
        if (type == XML_READER_TYPE_DOCUMENT_TYPE || type == XML_READER_TYPE_ENTITY_REFERENCE)
            fail(XlsxStatus::EntityDeclaration, detail_);
        if (type == XML_READER_TYPE_ELEMENT)
            return true;
    }
}

QString XmlReader::localName() const
{
    return fromXml(xmlTextReaderConstLocalName(reader_));
}

QString XmlReader::namespaceUri() const
{
    return fromXml(xmlTextReaderConstNamespaceUri(reader_));
}

int XmlReader::depth() const
{
    return xmlTextReaderDepth(reader_);
}

std::optional<QString> XmlReader::attribute(const char* name) const
{
    return taken(xmlTextReaderGetAttribute(reader_, reinterpret_cast<const xmlChar*>(name)));
}

std::optional<QString> XmlReader::attribute(const char* localName, const char* namespaceUri) const
{
    return taken(xmlTextReaderGetAttributeNs(reader_, reinterpret_cast<const xmlChar*>(localName),
                                             reinterpret_cast<const xmlChar*>(namespaceUri)));
}

QString XmlReader::readText()
{
    if (xmlTextReaderIsEmptyElement(reader_))
        return {};
    const std::optional<QString> s = taken(xmlTextReaderReadString(reader_));
    return s.value_or(QString());
}

} // namespace bf::xlsx
