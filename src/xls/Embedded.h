#pragma once
// Embedded OLE objects: each lives in a storage named "MBD" and eight hex digits, the number
// its picture Obj record carries; the storages of the objects the kept sheet shows go along.
#include "book/Cfb.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace bf::xls {

class EmbeddedObjects {
public:
    // An Obj record of the sheet; only pictures and OLE objects are looked at.
    void add(const book::CfbFile& container, const std::uint8_t* obj, std::size_t size);
    // The storages to copy, read from the source.
    std::vector<book::CfbNode> storages(const book::CfbFile& container) const;

private:
    void addPicture(const book::CfbFile& container, const std::uint8_t* obj, std::size_t size);
    std::vector<QString> names_;
};

} // namespace bf::xls
