#pragma once
// Where each zip entry's bytes lie in the file, read from the central directory: the local
// header, its name and extra field, and the compressed data. Two entries whose spans overlap
// share their bytes, a trick that multiplies the work of reading a small file; such a package
// is refused.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace bf::xlsx {

class PackageBytes;

// Where an entry's compressed data lies in the file.
struct DataSpan {
    std::uint64_t offset = 0, size = 0;
};

// The data of each entry, in directory order. Throws XlsxError: OverlappingEntries naming two
// entries that share bytes, DamagedZip when the directory or a local header lies outside the file.
// Reads only the directory's end, the directory and each local header.
std::vector<DataSpan> refuseOverlappingEntries(const PackageBytes& zip, const QString& displayName);

} // namespace bf::xlsx
