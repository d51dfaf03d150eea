#pragma once
// Little-endian reads and writes on raw bytes (those every reader of a workbook stream shares),
// and the buffer records are written to.
#include "crypto/BiffRecords.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bf::xls {

using biff::rd16;
using biff::rd32;
using biff::wr16;
using biff::wr32;

// A growing output buffer of records.
class ByteSink {
public:
    std::vector<std::uint8_t> bytes;

    std::size_t size() const { return bytes.size(); }
    void put(const std::uint8_t* p, std::size_t n) { bytes.insert(bytes.end(), p, p + n); }
    void put8(std::uint8_t v) { bytes.push_back(v); }
    void put16(std::uint16_t v)
    {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        put(b, 2);
    }
    void put32(std::uint32_t v)
    {
        std::uint8_t b[4];
        wr32(b, v);
        put(b, 4);
    }
    // A whole record: header and data.
    void record(std::uint16_t type, const std::uint8_t* data, std::size_t n)
    {
        put16(type);
        put16(static_cast<std::uint16_t>(n));
        put(data, n);
    }
    void record(std::uint16_t type, const std::vector<std::uint8_t>& data) { record(type, data.data(), data.size()); }
};

} // namespace bf::xls
