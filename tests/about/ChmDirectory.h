#pragma once
// Reads the directory of a compiled HTML help file (the ITSF container): the name, section,
// offset and length of every file in it. Enough to check what a help file holds without a
// help viewer; the content of compressed files is not unpacked.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>

namespace bf::test {

struct ChmEntry {
    std::uint64_t section = 0; // 0: stored as is, 1: compressed
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct ChmDirectory {
    std::map<QString, ChmEntry> entries; // by name, "/about.htm"
    std::uint64_t contentOffset = 0;     // where section 0 begins in the file
    QByteArray bytes;

    // The bytes of a file stored in section 0; throws when it is not there or not whole.
    QByteArray uncompressed(const QString& name) const;
};

// Parses the file; throws std::runtime_error naming what is wrong.
ChmDirectory readChmDirectory(const QByteArray& bytes);

} // namespace bf::test
