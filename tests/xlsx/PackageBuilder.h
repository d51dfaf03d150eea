#pragma once
// Small packages written by hand for the Open XML engine's tests: a zip that can say what a
// sound writer never would, and a sound two-sheet workbook with one part replaced.
#include <QByteArray>

#include <zlib.h>

#include <vector>

namespace bf::test::xlsx {

struct Part {
    QByteArray name;
    QByteArray content;
    quint32 declaredSize = 0; // 0: the true size
    bool stored = false;      // written as it is, not deflated
};

inline void put(QByteArray& out, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

inline QByteArray rawDeflate(const QByteArray& in)
{
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(int(deflateBound(&z, uLong(in.size()))), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    z.avail_in = uInt(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(int(z.total_out));
    deflateEnd(&z);
    return out;
}

// A zip written by hand, so that it can say what a sound writer never would.
inline QByteArray zipOf(const std::vector<Part>& parts)
{
    QByteArray out, directory;
    for (const Part& p : parts) {
        const QByteArray data = p.stored ? p.content : rawDeflate(p.content);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(p.content.constData()), uInt(p.content.size())));
        const quint32 size = p.declaredSize ? p.declaredSize : quint32(p.content.size());
        const quint32 offset = quint32(out.size());
        auto header = [&](QByteArray& h, bool central) {
            put(h, central ? 0x02014b50 : 0x04034b50, 4);
            if (central)
                put(h, 20, 2);
            put(h, 20, 2), put(h, 0, 2), put(h, p.stored ? 0 : 8, 2), put(h, 0, 4), put(h, crc, 4);
            put(h, quint32(data.size()), 4), put(h, size, 4), put(h, quint32(p.name.size()), 2), put(h, 0, 2);
            if (central)
                put(h, 0, 2), put(h, 0, 2), put(h, 0, 2), put(h, 0, 4), put(h, offset, 4);
            h.append(p.name);
        };
        header(out, false);
        out.append(data);
        header(directory, true);
    }
    const quint32 start = quint32(out.size());
    out.append(directory);
    put(out, 0x06054b50, 4), put(out, 0, 4), put(out, quint32(parts.size()), 2), put(out, quint32(parts.size()), 2);
    put(out, quint32(directory.size()), 4), put(out, start, 4), put(out, 0, 2);
    return out;
}

inline const QByteArray kTypes = R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>)";
inline const QByteArray kRootRels = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)";
inline const QByteArray kWorkbook = R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="One" sheetId="1" r:id="rId1"/><sheet name="Two" sheetId="2" r:id="rId2"/></sheets></workbook>)";
inline const QByteArray kWorkbookRels = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet2.xml"/></Relationships>)";
inline const QByteArray kSheet = R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="1"><c r="A1"><f>Two!B2*2</f><v>6</v></c></row></sheetData></worksheet>)";
inline const QByteArray kSheet2 = R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData><row r="2"><c r="B2"><v>3</v></c></row></sheetData></worksheet>)";
inline const QByteArray kLaughs = R"(<?xml version="1.0"?><!DOCTYPE lolz [<!ENTITY lol "lol"><!ENTITY lol2 "&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;">]>)";

// The sound package with part `name` replaced (or added) by `content`.
inline QByteArray packageWith(const QByteArray& name, const QByteArray& content, quint32 declared = 0)
{
    std::vector<Part> parts{{"[Content_Types].xml", kTypes}, {"_rels/.rels", kRootRels},
                            {"xl/workbook.xml", kWorkbook}, {"xl/_rels/workbook.xml.rels", kWorkbookRels},
                            {"xl/worksheets/sheet1.xml", kSheet}, {"xl/worksheets/sheet2.xml", kSheet2}};
    bool replaced = false;
    for (Part& p : parts)
        if (p.name == name)
            p.content = content, p.declaredSize = declared, replaced = true;
    if (!replaced)
        parts.push_back({name, content, declared});
    return zipOf(parts);
}

} // namespace bf::test::xlsx
