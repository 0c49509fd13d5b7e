// RegionIndex: entropy-data positions of a sequential scan, so that a later region read of
// the same input on the same context starts decoding near the region instead of at the
// first MCU.
//
// One entry per indexed MCU row start: the input offset of the reader's next byte, the bit
// buffer, a latched marker and the DC predictors, that is, everything the scan decoder
// carries from one MCU to the next. Rows are indexed every `stride` rows so that 8186
// entries (the 8187th is a terminator) cover any frame. Entries are recorded while a
// region read passes the row starts, and belong to one scan of one input: the key names
// the input (the buffer's address, size and a hash of its bytes up to the scan's data, or
// the file's device, inode, size and modification time), the scan's offset and the frame
// geometry; a read with another key drops them. An entry of buffer input also keeps a hash
// of the bytes just before its offset, checked before it is used.
#pragma once

#include "jpeg/JpegInternal.h"

#include <cstdint>

namespace xtpjpeg {

class RegionIndex {
public:
    static constexpr int kEntries = 8187;

    struct Key {
        std::uint64_t source[4] = {};
        std::uint32_t scanOffset = 0;
        std::int32_t mcusAcross = 0, mcusDown = 0, restartInterval = 0, components = 0;
        bool operator==(const Key&) const = default;
    };

    // The key of the scan whose data starts at the reader's position; false when the
    // position cannot be told (a file whose offset or identity cannot be read).
    static bool keyOf(const JPEG_PROPERTIES& p, const JpegDecoderState& s, Key& key);

    // Binds the index to a scan: entries of another scan are dropped.
    void bind(const Key& key);
    bool indexes(std::int32_t row) const { return row % stride_ == 0 && row / stride_ < kEntries - 1; }
    // Records the decoder's state at the start of MCU row `row` (an indexed row).
    void record(const JPEG_PROPERTIES& p, const JpegDecoderState& s, std::int32_t row);
    // Moves the decoder to the latest recorded row start at or before `row` and returns
    // that row; 0 (nothing moved) when there is none.
    std::int32_t seek(const JPEG_PROPERTIES& p, JpegDecoderState& s, std::int32_t row);

private:
    struct Entry {
        std::uint64_t bitBuffer;
        std::uint32_t offset;
        std::uint32_t check;
        std::int32_t row; // -1: empty
        std::int32_t bitCount;
        std::int16_t pred[kMaxComponents];
        std::int32_t pendingMarker;
    };
    Key key_{};
    bool bound_ = false;
    std::int32_t stride_ = 1;
    Entry entries_[kEntries];
};

} // namespace xtpjpeg
