#include "xls/Records.h"

#include "xls/ByteIO.h"
#include "book/Cfb.h"
#include "xls/RecordIds.h"

namespace bf::xls {

bool RecordReader::header(RecRef* rec, Read how)
{
    std::uint8_t h[4];
    const std::uint8_t* head = h;
    if (how == Read::Keep) {
        if (!stream_.ensureRange(pos_, 4))
            return false;
        head = stream_.data() + pos_;
    } else if (!stream_.peek(pos_, 4, h)) {
        return false;
    }
    current_ = {static_cast<std::uint32_t>(pos_), rd16(head), rd16(head + 2)};
    pos_ += 4 + current_.size;
    *rec = current_;
    return true;
}

bool RecordReader::complete() const { return current_.end() <= stream_.size(); }

const std::uint8_t* RecordReader::data(Read how)
{
    if (how == Read::Keep)
        return stream_.ensureRange(current_.dataPos(), current_.size) ? stream_.data() + current_.dataPos() : nullptr;
    return peekFirst(current_.size);
}

const std::uint8_t* RecordReader::peekFirst(std::size_t n)
{
    scratch_.resize(n == 0 ? 1 : n); // never a null address, even for an empty record
    return stream_.peek(current_.dataPos(), n, scratch_.data()) ? scratch_.data() : nullptr;
}

namespace {
template <class Recs, class TypeOf>
std::size_t lastOf(const Recs& recs, std::size_t i, std::uint16_t also, TypeOf typeOf)
{
    std::size_t last = i;
    while (last + 1 < recs.size()) {
        const std::uint16_t t = typeOf(recs[last + 1]);
        if (t != rt::Continue && (also == 0 || t != also))
            break;
        ++last;
    }
    return last;
}
} // namespace

std::size_t lastContinuation(const std::vector<RecRef>& recs, std::size_t i, std::uint16_t alsoContinues)
{
    return lastOf(recs, i, alsoContinues, [](const RecRef& r) { return r.type; });
}

std::size_t lastContinuation(const std::vector<SubRecord>& recs, std::size_t i)
{
    return lastOf(recs, i, 0, [](const SubRecord& r) { return r.rec.type; });
}

} // namespace bf::xls
