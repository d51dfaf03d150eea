#include "book/Cfb.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <QFile>

#include <algorithm>
#include <mutex>

namespace bf::book {

namespace {
void initGsf()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // Damaged files make the container library log warnings; the caller reports the
        // failure itself, so these stay quiet.
        for (const char* domain : {"libgsf:msole", "libgsf", "GLib-GObject"})
            g_log_set_handler(domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
                              [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

QString takeError(GError* e, const char* fallback)
{
    if (!e)
        return QString::fromUtf8(fallback);
    const QString text = QString::fromUtf8(e->message);
    g_error_free(e);
    return text;
}

// Streams are read in pieces of this size, as they are needed.
constexpr std::uint64_t kPiece = 64 * 1024;
} // namespace

CfbStream::CfbStream(void* input) : input_(input)
{
    const gsf_off_t s = gsf_input_size(GSF_INPUT(input_));
    size_ = s > 0 ? static_cast<std::uint64_t>(s) : 0;
}

CfbStream::~CfbStream()
{
    if (input_)
        g_object_unref(input_);
}

bool CfbStream::ensureRange(std::uint64_t pos, std::uint64_t n)
{
    if (pos > size_ || n > size_ - pos)
        return false;
    if (n == 0)
        return true;
    if (!buf_) {
        // Not zero-filled: pages never read are never touched.
        buf_.reset(new std::uint8_t[static_cast<std::size_t>(size_)]);
        pieceLoaded_.assign(static_cast<std::size_t>((size_ + kPiece - 1) / kPiece), 0);
    }
    const std::size_t first = static_cast<std::size_t>(pos / kPiece);
    const std::size_t last = static_cast<std::size_t>((pos + n - 1) / kPiece);
    for (std::size_t p = first; p <= last; ++p) {
        if (pieceLoaded_[p])
            continue;
        // One read for the run of missing pieces.
        std::size_t end = p;
        while (end + 1 <= last && !pieceLoaded_[end + 1])
            ++end;
        const std::uint64_t from = std::uint64_t(p) * kPiece;
        const std::uint64_t to = std::min<std::uint64_t>(size_, std::uint64_t(end + 1) * kPiece);
        if (gsf_input_seek(GSF_INPUT(input_), static_cast<gsf_off_t>(from), G_SEEK_SET))
            return false;
        if (!gsf_input_read(GSF_INPUT(input_), static_cast<size_t>(to - from), buf_.get() + from))
            return false;
        std::fill(pieceLoaded_.begin() + static_cast<std::ptrdiff_t>(p), pieceLoaded_.begin() + static_cast<std::ptrdiff_t>(end) + 1, 1);
        p = end;
    }
    return true;
}

bool CfbStream::peek(std::uint64_t pos, std::size_t n, std::uint8_t* out)
{
    if (pos > size_ || n > size_ - pos)
        return false;
    if (n == 0)
        return true;
    if (buf_) {
        bool loaded = true;
        for (std::uint64_t p = pos / kPiece; p <= (pos + n - 1) / kPiece && loaded; ++p)
            loaded = pieceLoaded_[static_cast<std::size_t>(p)] != 0;
        if (loaded) {
            std::copy_n(buf_.get() + pos, n, out);
            return true;
        }
    }
    if (gsf_input_seek(GSF_INPUT(input_), static_cast<gsf_off_t>(pos), G_SEEK_SET))
        return false;
    return gsf_input_read(GSF_INPUT(input_), n, out) != nullptr;
}

CfbFile::~CfbFile()
{
    if (infile_)
        g_object_unref(infile_);
}

std::unique_ptr<CfbFile> CfbFile::fromInput(void* input, QString* reason)
{
    GError* e = nullptr;
    GsfInfile* infile = gsf_infile_msole_new(GSF_INPUT(input), &e);
    g_object_unref(input);
    if (!infile) {
        *reason = takeError(e, "not a compound file");
        return nullptr;
    }
    if (e)
        g_error_free(e);
    std::unique_ptr<CfbFile> file(new CfbFile);
    file->infile_ = infile;
    const int n = gsf_infile_num_children(infile);
    for (int i = 0; i < n; ++i) {
        const char* name = gsf_infile_name_by_index(infile, i);
        if (!name)
            continue;
        GsfInput* child = gsf_infile_child_by_index(infile, i);
        bool storage = false;
        if (child) {
            storage = GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0;
            g_object_unref(child);
        }
        file->entries_.push_back({QString::fromUtf8(name), storage});
    }
    return file;
}

std::unique_ptr<CfbFile> CfbFile::openPath(const QString& path, QString* reason)
{
    initGsf();
    const QByteArray native = path.toLocal8Bit();
    GError* e = nullptr;
    GsfInput* input = gsf_input_mmap_new(native.constData(), &e);
    if (!input) {
        if (e)
            g_error_free(e);
        e = nullptr;
        input = gsf_input_stdio_new(native.constData(), &e);
    }
    if (!input) {
        *reason = takeError(e, "the file cannot be read");
        return nullptr;
    }
    auto file = fromInput(input, reason);
    if (file)
        return file;
    // A header whose counts disagree with its sound sector lists is repaired in memory.
    QFile whole(path);
    QByteArray bytes;
    if (whole.open(QIODevice::ReadOnly))
        bytes = whole.readAll();
    return repairCompoundHeader(&bytes) ? openMemory(bytes, reason) : nullptr;
}

std::unique_ptr<CfbFile> CfbFile::openBytes(const QByteArray& bytes, QString* reason)
{
    auto file = openMemory(bytes, reason);
    QByteArray repaired = bytes;
    if (!file && repairCompoundHeader(&repaired))
        file = openMemory(repaired, reason);
    return file;
}

std::unique_ptr<CfbFile> CfbFile::openMemory(const QByteArray& bytes, QString* reason)
{
    initGsf();
    QByteArray copy = bytes; // shared, keeps the data alive for the input
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(copy.constData()), copy.size(), FALSE);
    if (!input) {
        *reason = QStringLiteral("the data cannot be read");
        return nullptr;
    }
    auto file = fromInput(input, reason);
    if (file)
        file->bytes_ = copy;
    return file;
}

std::unique_ptr<CfbStream> CfbFile::openStream(const QString& name) const
{
    for (const Entry& entry : entries_) {
        if (entry.storage || entry.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        GsfInput* child = gsf_infile_child_by_name(GSF_INFILE(infile_), entry.name.toUtf8().constData());
        if (child)
            return std::unique_ptr<CfbStream>(new CfbStream(child));
    }
    return nullptr;
}

bool CfbFile::readStream(const QString& name, QByteArray* out) const
{
    out->clear();
    auto stream = openStream(name);
    if (!stream || !stream->loadAll())
        return false;
    *out = QByteArray(reinterpret_cast<const char*>(stream->data()), static_cast<qsizetype>(stream->size()));
    return true;
}

namespace {
bool readNode(GsfInput* input, const QString& name, CfbNode* out, int level)
{
    out->name = name;
    if (GSF_IS_INFILE(input) && gsf_infile_num_children(GSF_INFILE(input)) >= 0) {
        if (level > 8)
            return false;
        out->storage = true;
        if (GSF_IS_INFILE_MSOLE(input)) {
            guint8 id[16];
            if (gsf_infile_msole_get_class_id(GSF_INFILE_MSOLE(input), id))
                out->clsid = QByteArray(reinterpret_cast<const char*>(id), 16);
        }
        const int n = gsf_infile_num_children(GSF_INFILE(input));
        for (int i = 0; i < n; ++i) {
            const char* childName = gsf_infile_name_by_index(GSF_INFILE(input), i);
            GsfInput* child = gsf_infile_child_by_index(GSF_INFILE(input), i);
            if (!child || !childName) {
                if (child)
                    g_object_unref(child);
                return false;
            }
            CfbNode node;
            const bool ok = readNode(child, QString::fromUtf8(childName), &node, level + 1);
            g_object_unref(child);
            if (!ok)
                return false;
            out->children.push_back(std::move(node));
        }
        return true;
    }
    const gsf_off_t size = gsf_input_size(input);
    if (size < 0 || size > (1LL << 30))
        return false;
    out->data.resize(static_cast<qsizetype>(size));
    return size == 0 || gsf_input_read(input, static_cast<size_t>(size), reinterpret_cast<guint8*>(out->data.data()));
}

bool writeNode(GsfOutfile* parent, const CfbNode& node)
{
    GsfOutput* child = gsf_outfile_new_child(parent, node.name.toUtf8().constData(), node.storage ? TRUE : FALSE);
    if (!child)
        return false;
    bool ok = true;
    if (node.storage) {
        if (node.clsid.size() == 16)
            gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(child), reinterpret_cast<const guint8*>(node.clsid.constData()));
        for (const CfbNode& c : node.children)
            ok = ok && writeNode(GSF_OUTFILE(child), c);
    } else if (!node.data.isEmpty()) {
        ok = gsf_output_write(child, static_cast<size_t>(node.data.size()), reinterpret_cast<const guint8*>(node.data.constData()));
    }
    if (!gsf_output_close(child))
        ok = false;
    g_object_unref(child);
    return ok;
}
} // namespace

bool CfbFile::readStorage(const QString& name, CfbNode* out) const
{
    for (const Entry& entry : entries_) {
        if (!entry.storage || entry.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        GsfInput* child = gsf_infile_child_by_name(GSF_INFILE(infile_), entry.name.toUtf8().constData());
        if (!child)
            return false;
        *out = CfbNode();
        const bool ok = readNode(child, entry.name, out, 0);
        g_object_unref(child);
        return ok;
    }
    return false;
}

QByteArray writeCompoundFile(const std::vector<CfbOutputStream>& streams, QString* reason, const std::vector<CfbNode>& storages)
{
    initGsf();
    GsfOutput* sink = gsf_output_memory_new();
    GsfOutfile* root = gsf_outfile_msole_new(sink);
    bool ok = root != nullptr;
    for (const CfbOutputStream& s : streams) {
        if (!ok)
            break;
        GsfOutput* child = gsf_outfile_new_child(root, s.name.toUtf8().constData(), FALSE);
        if (!child) {
            ok = false;
            break;
        }
        if (s.size && !gsf_output_write(child, s.size, s.data))
            ok = false;
        if (!gsf_output_close(child))
            ok = false;
        g_object_unref(child);
    }
    for (const CfbNode& node : storages)
        ok = ok && writeNode(root, node);
    QByteArray result;
    if (root) {
        if (!gsf_output_close(GSF_OUTPUT(root)))
            ok = false;
        g_object_unref(root);
    }
    if (ok) {
        const gsf_off_t n = gsf_output_size(sink);
        const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink));
        if (bytes && n > 0)
            result = QByteArray(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(n));
        else
            ok = false;
    }
    g_object_unref(sink);
    if (!ok && reason)
        *reason = QStringLiteral("the compound file could not be written");
    return ok ? result : QByteArray();
}

} // namespace bf::book
