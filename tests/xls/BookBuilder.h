#pragma once
// Hand-built workbooks for tests: a BIFF8 record stream with the records a test names, put
// into a compound file by the engine's own container writer.
#include "xls/ByteIO.h"
#include "book/Cfb.h"

#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

namespace bf::test {

struct BuiltSheet {
    BuiltSheet(std::string n = {}, std::uint8_t kind = 0, std::uint8_t hide = 0, bool dialogSheet = false, bool bareSheet = false)
        : name(std::move(n)), dt(kind), hidden(hide), dialog(dialogSheet), bare(bareSheet)
    {
    }
    std::string name;    // Latin-1
    std::uint8_t dt;     // BoundSheet8 kind: 0 worksheet/dialog, 1 macro, 2 chart
    std::uint8_t hidden;
    bool dialog;         // WsBool.fDialog
    bool bare;           // BOF and EOF only
    std::vector<std::vector<std::uint8_t>> records; // extra sheet records (type+size+data)
};

inline std::vector<std::uint8_t> rec(std::uint16_t type, std::vector<std::uint8_t> data)
{
    xls::ByteSink s;
    s.record(type, data);
    return s.bytes;
}

inline std::vector<std::uint8_t> bof(std::uint16_t dt, std::uint16_t vers = 0x0600)
{
    std::vector<std::uint8_t> d(16, 0);
    xls::wr16(d.data(), vers);
    xls::wr16(d.data() + 2, dt);
    return rec(0x0809, d);
}

// The Workbook stream; globalsExtra go right after the globals' BOF.
inline std::vector<std::uint8_t> buildStream(const std::vector<BuiltSheet>& sheets,
                                             const std::vector<std::vector<std::uint8_t>>& globalsExtra = {})
{
    xls::ByteSink g;
    const auto b = bof(0x0005);
    g.put(b.data(), b.size());
    for (const auto& r : globalsExtra)
        g.put(r.data(), r.size());
    std::vector<std::size_t> offsetAt;
    for (const auto& s : sheets) {
        std::vector<std::uint8_t> d = {0, 0, 0, 0, s.hidden, s.dt, static_cast<std::uint8_t>(s.name.size()), 0};
        d.insert(d.end(), s.name.begin(), s.name.end());
        offsetAt.push_back(g.size() + 4);
        g.record(0x0085, d);
    }
    g.record(0x000A, nullptr, 0);
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        xls::wr32(g.bytes.data() + offsetAt[i], static_cast<std::uint32_t>(g.size()));
        const auto sb = bof(sheets[i].dt == 2 ? 0x0020 : sheets[i].dt == 1 ? 0x0040 : 0x0010);
        g.put(sb.data(), sb.size());
        if (!sheets[i].bare) {
            g.record(0x0081, std::vector<std::uint8_t>{static_cast<std::uint8_t>(sheets[i].dialog ? 0x11 : 0x01), 0x04});
            for (const auto& r : sheets[i].records)
                g.put(r.data(), r.size());
            g.record(0x0200, std::vector<std::uint8_t>(14, 0));
            g.record(0x023E, std::vector<std::uint8_t>{0xB6, 0x06, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        }
        g.record(0x000A, nullptr, 0);
    }
    return g.bytes;
}

struct BuiltStream {
    QString name;
    std::vector<std::uint8_t> bytes;
};

inline QByteArray buildFile(const std::vector<BuiltStream>& streams)
{
    std::vector<book::CfbOutputStream> out;
    for (const auto& s : streams)
        out.push_back({s.name, s.bytes.data(), s.bytes.size()});
    QString reason;
    return book::writeCompoundFile(out, &reason);
}

} // namespace bf::test
