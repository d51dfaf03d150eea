#pragma once
// The records of a workbook stream: where one lies, and the one reader that steps through them,
// shared by the listing (which skims what it does not need) and the extraction (which loads).
#include <cstdint>
#include <vector>

namespace bf::book {
class CfbStream;
}

namespace bf::xls {

// A record located in a stream: position of its header, type and data size.
struct RecRef {
    std::uint32_t pos;
    std::uint16_t type;
    std::uint16_t size;
    std::uint32_t dataPos() const { return pos + 4; }
    std::uint32_t end() const { return pos + 4 + size; }
};

// A record of a sheet's substream and its depth: 1 for the sheet's own records, 2 and more
// inside the charts embedded in it.
struct SubRecord {
    RecRef rec;
    int depth;
};

class RecordReader {
public:
    // Keep: the bytes are read into the stream's buffer and stay there (stream.data() + pos).
    // Peek: the bytes are copied out for the moment and the buffer is left alone.
    enum class Read { Keep, Peek };

    RecordReader(book::CfbStream& stream, std::uint64_t pos) : stream_(stream), pos_(pos) {}

    // The header of the next record; false when the stream ends before it. The reader then
    // stands after that record.
    bool header(RecRef* rec, Read how);
    // Whether the data of the record header() returned lies inside the stream.
    bool complete() const;
    // That record's data; null when it runs past the stream's end.
    const std::uint8_t* data(Read how);
    // Its first n bytes (at most its size), copied out; null when they lie past the end.
    const std::uint8_t* peekFirst(std::size_t n);
    // Where the next record starts.
    std::uint64_t pos() const { return pos_; }

private:
    book::CfbStream& stream_;
    std::uint64_t pos_;
    RecRef current_{};
    std::vector<std::uint8_t> scratch_;
};

// The index of the last record that continues record i: the CONTINUE records after it, and
// records of type alsoContinues when one is given.
std::size_t lastContinuation(const std::vector<RecRef>& recs, std::size_t i, std::uint16_t alsoContinues = 0);
std::size_t lastContinuation(const std::vector<SubRecord>& recs, std::size_t i);

} // namespace bf::xls
