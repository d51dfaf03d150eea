// The engine's own XML scanner against libxml2 on the same bytes: every form a part may take
// (references, CDATA, comments and processing instructions, namespaces, attribute quoting and
// order, self-closing elements, white space and line ends) read alike, and every kind of damage
// refused by both. Each document is also fed in chunks of every small size, as a streamed part
// arrives, and must read the same as when held whole.
#include "xlsx/XlsxStatus.h"
#include "xlsx/XmlScanner.h"

#include <libxml/xmlreader.h>

#include <algorithm>

#include <gtest/gtest.h>

using namespace bf::xlsx;

namespace {

// A reading: "<name a=v b=w>" (attributes sorted), "</name>", text as it reads, "<!--c-->",
// "<?target data?>"; or "refused".
struct Reading {
    std::string out, text;
    void flush()
    {
        if (!text.empty())
            out += "[" + text + "]";
        text.clear();
    }
    void element(const std::string& name, std::vector<std::string> attrs, bool empty)
    {
        flush();
        std::sort(attrs.begin(), attrs.end());
        out += "<" + name;
        for (const std::string& a : attrs)
            out += " " + a;
        out += ">";
        if (empty)
            out += "</" + name + ">";
    }
};

std::string str(const xmlChar* s)
{
    return s ? reinterpret_cast<const char*>(s) : "";
}

void noteError(void* failed, const char*, xmlParserSeverities severity, xmlTextReaderLocatorPtr)
{
    if (severity == XML_PARSER_SEVERITY_ERROR)
        *static_cast<bool*>(failed) = true;
}

std::string byLibxml(const std::string& doc)
{
    xmlTextReaderPtr r = xmlReaderForMemory(doc.data(), int(doc.size()), nullptr, nullptr,
                                            XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    bool failed = false;
    xmlTextReaderSetErrorHandler(r, noteError, &failed);
    Reading reading;
    int rc;
    while ((rc = xmlTextReaderRead(r)) == 1) {
        const std::string name = str(xmlTextReaderConstName(r));
        switch (xmlTextReaderNodeType(r)) {
        case XML_READER_TYPE_ELEMENT: {
            const bool empty = xmlTextReaderIsEmptyElement(r);
            std::vector<std::string> attrs;
            while (xmlTextReaderMoveToNextAttribute(r) == 1)
                attrs.push_back(str(xmlTextReaderConstName(r)) + "=" + str(xmlTextReaderConstValue(r)));
            reading.element(name, attrs, empty);
            break;
        }
        case XML_READER_TYPE_END_ELEMENT:
            reading.flush();
            reading.out += "</" + name + ">";
            break;
        case XML_READER_TYPE_TEXT:
        case XML_READER_TYPE_CDATA:
        case XML_READER_TYPE_WHITESPACE:
        case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
            if (xmlTextReaderDepth(r) > 0)
                reading.text += str(xmlTextReaderConstValue(r));
            break;
        case XML_READER_TYPE_COMMENT:
            reading.flush();
            reading.out += "<!--" + str(xmlTextReaderConstValue(r)) + "-->";
            break;
        case XML_READER_TYPE_PROCESSING_INSTRUCTION:
            reading.flush();
            reading.out += "<?" + name + " " + str(xmlTextReaderConstValue(r)) + "?>";
            break;
        default: break;
        }
    }
    xmlFreeTextReader(r);
    if (rc < 0 || failed)
        return "refused";
    reading.flush();
    return reading.out;
}

// Line ends as XML reads them (in CDATA, comments and instructions, which hold no references).
std::string lineEnds(std::string_view raw)
{
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        out += raw[i] == '\r' ? '\n' : raw[i];
    }
    return out;
}

void readOther(std::string_view raw, Reading& reading)
{
    if (raw.substr(0, 9) == "<![CDATA[") {
        reading.text += lineEnds(raw.substr(9, raw.size() - 12));
    } else if (raw.substr(0, 4) == "<!--") {
        reading.flush();
        reading.out += "<!--" + lineEnds(raw.substr(4, raw.size() - 7)) + "-->";
    } else if (raw.substr(0, 5) != "<?xml" || (raw.size() > 5 && raw[5] != ' ' && raw[5] != '?')) {
        const std::string_view inside = raw.substr(2, raw.size() - 4);
        const std::size_t end = std::min(inside.find_first_of(" \t\r\n"), inside.size());
        const std::size_t data = std::min(inside.find_first_not_of(" \t\r\n", end), inside.size());
        reading.flush();
        reading.out += "<?" + std::string(inside.substr(0, end)) + " " + lineEnds(inside.substr(data)) + "?>";
    }
}

// chunk: the size of each piece the part arrives in; 0 for the part held whole.
std::string byScanner(const std::string& doc, std::size_t chunk)
{
    std::size_t given = 0;
    auto refill = [&](QByteArray& out) {
        const std::size_t n = std::min(chunk, doc.size() - given);
        out = QByteArray(doc.data() + given, qsizetype(n));
        given += n;
    };
    const QByteArray whole(doc.data(), qsizetype(doc.size()));
    XmlTokenStream tokens = chunk ? XmlTokenStream(refill, QStringLiteral("fragment"))
                                  : XmlTokenStream(whole, QStringLiteral("fragment"));
    Reading reading;
    int depth = 0;
    try {
        XmlToken t;
        while (tokens.next(t)) {
            if (t.isTag()) {
                std::vector<std::string> attrs;
                for (const auto& [n, v] : parseAttributes(t.attrs))
                    attrs.push_back(std::string(n) + "=" + unescapeXml(v, true));
                reading.element(std::string(t.name), attrs, t.kind == TokenKind::EmptyTag);
                depth += t.kind == TokenKind::StartTag;
            } else if (t.kind == TokenKind::EndTag) {
                reading.flush();
                reading.out += "</" + std::string(t.name) + ">";
                --depth;
            } else if (t.kind == TokenKind::Text) {
                if (depth > 0)
                    reading.text += unescapeXml(t.raw);
            } else {
                readOther(t.raw, reading);
            }
        }
    } catch (const XlsxError& e) {
        EXPECT_TRUE(e.detail().contains(QStringLiteral("fragment, at byte "))) << e.detail().toStdString();
        return "refused";
    }
    reading.flush();
    return reading.out;
}

} // namespace

TEST(XmlScanner, ReadsEveryFormAsLibxml2DoesAndRefusesWhatItRefuses)
{
    const std::vector<std::pair<const char*, std::string>> forms{
        {"self-closing root", "<a/>"},
        {"declaration, line end, both quotes", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<a b=\"1\" c='2'>x</a>"},
        {"byte-order mark", "\xEF\xBB\xBF<?xml version=\"1.0\"?><a>x</a>"},
        {"decimal and hexadecimal references", "<a>&#32;&#65;&#x42;&#x0043;&#0068;&#xe9;&#233;&#x1F600;&#x10FFFF;</a>"},
        {"the five named entities", "<a b=\"&lt;&gt;&amp;&quot;&apos;\">&lt;&gt;&amp;&quot;&apos;</a>"},
        {"references in attributes", "<a b=\"&#x41;&amp;&#10;x&#9;\" c='\"'/>"},
        {"CDATA amid text", "<a>1<![CDATA[<b>&amp;\n]]]>2<![CDATA[]]></a>"},
        {"comments and instructions between elements", "<!-- c --><?pi data?>\n<a><!--x--><b/><?t  d e ?><!----></a><!-- after -->\n<?end?>"},
        {"prefixed and default namespaces", "<x:a xmlns:x=\"u\" xmlns=\"v\"><x:b x:c=\"1\" c=\"2\"/><d xmlns=\"\"/></x:a>"},
        {"attributes in any order, spaced", "<a  d = \"1\"\n\tc='x\"y'  b=\"x'y\" />"},
        {"white space normalized in values", "<a b=\"x\ty\r\nz\rw\"/>"},
        {"line ends in text", "<a>\r\n line\r two\n<b>\r</b></a>"},
        {"white space before an end tag closes", "<a><b></b\n></a \t>"},
        {"characters of every width", "<a b=\"\xC3\xA9\">\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD</a>"},
        {"nested elements of one name", "<a><a><a/></a></a>"},
        {"'>' in text and values", "<a b=\"x>y\">1>0]]</a>"},
        {"names of every kind of character", "<_a.b-c:d xmlns:_a.b-c=\"u\" e_f.1=\"1\"><\xC3\xA9l\xC3\xA9ment/></_a.b-c:d>"},
        {"white space outside the root", "\n <a/>\r\n\t"},
        {"a one-byte encoding declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>plain</a>"},
    };
    const std::vector<std::pair<const char*, std::string>> damaged{
        {"an empty part", ""},
        {"an unfinished element", "<a><b/>"},
        {"an unfinished tag", "<a><b c=\"1\""},
        {"an unfinished comment", "<a><!-- x</a>"},
        {"mismatched end tags", "<a><b></a></b>"},
        {"an end tag that the open name begins", "<ab></a>"},
        {"an end tag that begins with the open name", "<a></ab>"},
        {"an end tag alone", "</a>"},
        {"a space after '</'", "<a></ a>"},
        {"two roots", "<a></a><b/>"},
        {"text before the root", "x<a/>"},
        {"text after the root", "<a/>x"},
        {"CDATA outside the root", "<![CDATA[x]]><a/>"},
        {"a declaration not at the start", "<a/><?xml version=\"1.0\"?>"},
        {"a declaration after white space", " <?xml version=\"1.0\"?><a/>"},
        {"an upper-case X in a reference", "<a>&#X41;</a>"},
        {"a reference without digits", "<a>&#x;&#;</a>"},
        {"a reference to a surrogate", "<a>&#xD800;</a>"},
        {"a reference to NUL", "<a>&#0;</a>"},
        {"a reference beyond Unicode", "<a>&#x110000;</a>"},
        {"a reference to a control character", "<a b=\"&#1;\"/>"},
        {"a hexadecimal digit in a decimal reference", "<a>&#6A;</a>"},
        {"an undeclared entity", "<a>&nbsp;</a>"},
        {"a bare ampersand", "<a>fish & chips</a>"},
        {"a bare ampersand in a value", "<a b=\"&\"/>"},
        {"'<' in a value", "<a b=\"<\"/>"},
        {"an attribute twice", "<a b=\"1\" b=\"2\"/>"},
        {"an unquoted value", "<a b=1/>"},
        {"no space between attributes", "<a b=\"1\"c=\"2\"/>"},
        {"an attribute without a value", "<a b/>"},
        {"a name starting with a digit", "<1a/>"},
        {"a space inside a self-closing end", "<a / >"},
        {"a control character in text", "<a>\x01</a>"},
        {"a control character in a value", "<a b=\"\x1F\"/>"},
        {"an invalid UTF-8 sequence", "<a>\xC3\x28</a>"},
        {"an overlong UTF-8 form", "<a>\xC0\xAF</a>"},
        {"a UTF-8 surrogate", "<a>\xED\xA0\x80</a>"},
        {"a truncated UTF-8 sequence", "<a>\xE2\x82</a>"},
        {"U+FFFE", "<a>\xEF\xBF\xBE</a>"},
        {"\"--\" in a comment", "<a><!-- a -- b --></a>"},
        {"a comment ending in '-'", "<a><!-- a ---></a>"},
        {"\"]]>\" in text", "<a>]]></a>"},
        {"an instruction named xml", "<a><?XML x?></a>"},
    };
    for (const auto& [what, doc] : forms) {
        const std::string expected = byLibxml(doc);
        EXPECT_NE(expected, "refused") << what;
        EXPECT_EQ(byScanner(doc, 0), expected) << what;
    }
    for (const auto& [what, doc] : damaged) {
        EXPECT_EQ(byLibxml(doc), "refused") << what;
        EXPECT_EQ(byScanner(doc, 0), "refused") << what;
    }
    // Streamed in pieces of every small size, each document reads as it does held whole.
    for (const auto& list : {forms, damaged})
        for (const auto& [what, doc] : list)
            for (std::size_t chunk = 1; chunk <= 12; ++chunk)
                EXPECT_EQ(byScanner(doc, chunk), byScanner(doc, 0)) << what << ", pieces of " << chunk;
}
