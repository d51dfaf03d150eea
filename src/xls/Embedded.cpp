#include "xls/Embedded.h"

#include "xls/ByteIO.h"
#include "xls/RecordIds.h"

#include <algorithm>
#include <cstring>

namespace bf::xls {

void EmbeddedObjects::add(const book::CfbFile& container, const std::uint8_t* obj, std::size_t size)
{
    // The first sub-record is the common data: ft, cb, then the object type.
    if (size >= 6 && rd16(obj) == ft::Cmo && rd16(obj + 4) == ft::ObjPicture)
        addPicture(container, obj, size);
}

void EmbeddedObjects::addPicture(const book::CfbFile& container, const std::uint8_t* obj, std::size_t size)
{
    for (const auto& entry : container.entries()) {
        if (!entry.storage || !entry.name.startsWith(QLatin1String("MBD")) || entry.name.size() != 11)
            continue;
        bool ok = false;
        const std::uint32_t id = entry.name.mid(3).toUInt(&ok, 16);
        if (!ok)
            continue;
        std::uint8_t key[4];
        wr32(key, id);
        for (std::size_t p = 4; p + 4 <= size; ++p) {
            if (std::memcmp(obj + p, key, 4) == 0) {
                if (std::find(names_.begin(), names_.end(), entry.name) == names_.end())
                    names_.push_back(entry.name);
                break;
            }
        }
    }
}

std::vector<book::CfbNode> EmbeddedObjects::storages(const book::CfbFile& container) const
{
    std::vector<book::CfbNode> nodes;
    for (const QString& name : names_) {
        book::CfbNode node;
        if (container.readStorage(name, &node))
            nodes.push_back(std::move(node));
    }
    return nodes;
}

} // namespace bf::xls
