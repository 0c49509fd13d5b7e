#include "jpeg/TableSegments.h"

#include "jpeg/Idct.h"
#include "jpeg/MarkerSegment.h"
#include "jpeg/Zigzag.h"

#include <algorithm>

namespace xtpjpeg {

int parseDht(JpegDecoderState& s)
{
    Body body;
    int rc = readSegment(s.input, body, 1091);
    if (rc != JpegSuccess) return rc;
    const std::uint8_t* b = body.data;
    std::size_t off = 0;
    while (off < body.size) {
        const int tcth = b[off++];
        const int tc = tcth >> 4;
        const int th = tcth & 15;
        if (tcth >= 32 || th > 3) return JpegBadHuffmanTable;
        if (off + 16 > body.size) return JpegBadHuffmanTable;
        const std::uint8_t* counts = b + off;
        off += 16;
        std::size_t total = 0;
        for (int i = 0; i < 16; ++i) total += counts[i];
        if (total > 257 || off + total > body.size) return JpegBadHuffmanTable;
        HuffTable table;
        rc = buildHuffTable(table, counts, b + off);
        if (rc != JpegSuccess) return rc;
        off += total;
        table.tableClass = static_cast<std::uint8_t>(tc);
        table.id = static_cast<std::uint8_t>(th);
        if (tc == 0) {
            s.dcTables[th] = table;
            s.dcCount = std::min(s.dcCount + 1, 4);
        } else {
            s.acTables[th] = table;
            s.acCount = std::min(s.acCount + 1, 4);
        }
        s.huffHighest = std::max(s.huffHighest, th + 1);
    }
    return JpegSuccess;
}

int parseDqt(JPEG_PROPERTIES& p, JpegDecoderState& s)
{
    Body body;
    int rc = readSegment(s.input, body, 516);
    if (rc != JpegSuccess) return rc;
    const std::uint8_t* b = body.data;
    std::size_t off = 0;
    while (off < body.size) {
        const int pq = b[off] >> 4;
        const int tq = b[off] & 15;
        ++off;
        if (tq > 3) return JpegBadQuantizationTable;
        const std::size_t n = pq ? 128 : 64;
        if (off + n > body.size) return JpegBadQuantizationTable; // a table running past the segment end
        QuantTable& q = s.quant[tq];
        for (int k = 0; k < 64; ++k) {
            const std::uint16_t v = pq ? static_cast<std::uint16_t>(be16(b + off + 2 * k)) : b[off + k];
            q.natural[kZigzagToNatural[k]] = v;
        }
        off += n;
        q.precision = static_cast<std::uint8_t>(pq);
        q.defined = true;
        const std::uint32_t type = p.dctType == 0 ? 0 : 1;
        prepareQuantTable(q.natural, type, s.quantPrepared[tq]);
        s.quantPreparedType[tq] = type;
        s.quantHighest = std::max(s.quantHighest, tq + 1);
        s.quantCount = std::min(s.quantCount + 1, 4);
    }
    return JpegSuccess;
}

} // namespace xtpjpeg
