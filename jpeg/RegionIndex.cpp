// RegionIndex: recording and use of the entropy-position index of region reads.
#include "jpeg/RegionIndex.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace xtpjpeg {

namespace {

std::uint32_t hashBytes(const std::uint8_t* data, std::size_t n, std::uint32_t h = 2166136261u)
{
    for (std::size_t i = 0; i < n; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

// The input offset of the reader's next byte; false when a file's offset cannot be read.
bool readerOffset(const JPEG_PROPERTIES& p, const InputReader& in, std::uint32_t& offset)
{
    if (!in.fileInput) {
        offset = static_cast<std::uint32_t>(in.pos - p.inBuffer);
        return true;
    }
    const off_t at = ::lseek(in.fd, 0, SEEK_CUR);
    if (at < 0 || at > 0xFFFFFFFFLL) return false;
    offset = static_cast<std::uint32_t>(at - (in.end - in.pos));
    return true;
}

// Hash of up to 32 input bytes before `offset` (buffer input; file entries rely on the key).
std::uint32_t checkBefore(const JPEG_PROPERTIES& p, const InputReader& in, std::uint32_t offset)
{
    if (in.fileInput) return 0;
    const std::uint32_t from = offset > 32 ? offset - 32 : 0;
    return hashBytes(p.inBuffer + from, offset - from);
}

} // namespace

bool RegionIndex::keyOf(const JPEG_PROPERTIES& p, const JpegDecoderState& s, Key& key)
{
    const InputReader& in = s.input;
    key = Key{};
    if (!readerOffset(p, in, key.scanOffset)) return false;
    if (in.fileInput) {
        struct stat st;
        if (::fstat(in.fd, &st) != 0) return false;
        key.source[0] = static_cast<std::uint64_t>(st.st_dev);
        key.source[1] = static_cast<std::uint64_t>(st.st_ino);
        key.source[2] = static_cast<std::uint64_t>(st.st_size);
        key.source[3] = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                        static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
    } else {
        key.source[0] = reinterpret_cast<std::uintptr_t>(p.inBuffer);
        key.source[1] = p.inBufferSize;
        key.source[2] = hashBytes(p.inBuffer, key.scanOffset);
        key.source[3] = hashBytes(in.pos, static_cast<std::size_t>(std::min<std::ptrdiff_t>(in.end - in.pos, 64)));
    }
    key.mcusAcross = s.frame.mcusAcross;
    key.mcusDown = s.frame.mcusDown;
    key.restartInterval = s.scan.restartInterval;
    key.components = s.scan.ns;
    return true;
}

void RegionIndex::bind(const Key& key)
{
    if (bound_ && key == key_) return;
    key_ = key;
    bound_ = true;
    stride_ = std::max<std::int32_t>(1, (key.mcusDown + kEntries - 2) / (kEntries - 1));
    for (Entry& e : entries_) e.row = -1;
}

void RegionIndex::record(const JPEG_PROPERTIES& p, const JpegDecoderState& s, std::int32_t row)
{
    Entry& e = entries_[row / stride_];
    if (e.row == row) return;
    const InputReader& in = s.input;
    if (in.bits.error() || !readerOffset(p, in, e.offset)) return;
    e.check = checkBefore(p, in, e.offset);
    e.bitBuffer = in.bits.buffered();
    e.bitCount = in.bits.count();
    e.pendingMarker = in.pendingMarker;
    for (int i = 0; i < kMaxComponents; ++i) e.pred[i] = i < s.scan.ns ? s.scan.comp[i].pred : 0;
    e.row = row;
}

std::int32_t RegionIndex::seek(const JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t row)
{
    InputReader& in = s.input;
    for (std::int32_t slot = std::min(row / stride_, kEntries - 2); slot > 0; --slot) {
        const Entry& e = entries_[slot];
        if (e.row < 0 || e.row > row) continue;
        if (in.fileInput) {
            if (::lseek(in.fd, e.offset, SEEK_SET) != static_cast<off_t>(e.offset)) return 0;
            in.pos = in.end = in.fileBuffer;
            in.remaining = 0;
        } else {
            if (e.offset > p.inBufferSize || checkBefore(p, in, e.offset) != e.check) continue;
            in.pos = p.inBuffer + e.offset;
            in.remaining = static_cast<std::int32_t>(in.end - in.pos);
        }
        in.bits.restore(e.bitBuffer, e.bitCount);
        in.pendingMarker = e.pendingMarker;
        for (int i = 0; i < s.scan.ns; ++i) s.scan.comp[i].pred = e.pred[i];
        s.scan.mcuX = 0;
        s.scan.mcuY = e.row;
        return e.row;
    }
    return 0;
}

} // namespace xtpjpeg
