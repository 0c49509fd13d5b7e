// Dequantisation and the inverse DCTs of both families (ITU-T T.81 A.3.3), plain and SIMD.
#pragma once

#include <cstdint>

namespace xtpjpeg {

// Idct.cpp: the plain transforms and dequantisation.
void prepareQuantTable(const std::uint16_t natural[64], std::uint32_t dctType, std::int16_t out[64]);
void dequantType1(std::int16_t* block, const std::int16_t* table);
void dequantType0(std::int16_t* block, const std::int16_t* table);
void idct8x8Type1(std::int16_t* block);
void idct8x8Type0(std::int16_t* block);
void idct4x4Type1(std::int16_t* block);
void idct4x4Type0(std::int16_t* block);
void idct2x2Type1(std::int16_t* block);
void idct2x2Type0(std::int16_t* block);
void idct1x1Type1(std::int16_t* block);
void idct1x1Type0(std::int16_t* block);

// IdctSse2.cpp (x86 builds with SSE2): the same results as dequantType1, idct8x8Type1 and
// idct8x8Type0.
#if defined(__SSE2__)
void idct8x8Type1Sse2(std::int16_t* block);
void idct8x8Type0Sse2(std::int16_t* block);
void dequantType1Sse2(std::int16_t* block, const std::int16_t* table);
#endif

// IdctAvx2.cpp, compiled for AVX2 (x86 builds): the same results as
// their SSE2 counterparts (the plain idct4x4Type1 for the 4x4 one), for the AVX2 class only.
#if defined(XTPJPEG_AVX2)
void idct8x8Type1Avx2(std::int16_t* block);
void idct4x4Type1Avx2(std::int16_t* block);
void idct8x8Type0Avx2(std::int16_t* block);
void dequantType1Avx2(std::int16_t* block, const std::int16_t* table);
#endif

} // namespace xtpjpeg
