// The routine table of a decoder context, the signatures of its routines, and the processor
// dispatch that fills it by processor class.
#pragma once

#include "jpeg/HuffTable.h"
#include "jpeg/InputReader.h"
#include "jpeg/JpegDecoder.h"

#include <cstddef>
#include <cstdint>

struct JpegDecoderState;

namespace xtpjpeg {

using IdctRoutine = void (*)(std::int16_t* block);
using DequantRoutine = void (*)(std::int16_t* block, const std::int16_t* table);
using EndOfCallRoutine = void (*)();
using BlockSkipRoutine = void (*)(InputReader& in, const HuffTable& dc, const HuffTable& ac, std::int16_t& pred);
// One block of an MCU for the MCU decoder: its tables, DC predictor, coefficients and
// quantisation table, and whether only its DC coefficient is used (the AC coefficients are
// then decoded and passed over).
struct McuBlock {
    const HuffTable* dc;
    const HuffTable* ac;
    std::int16_t* pred;
    std::int16_t* block;
    const std::int16_t* quant;
    bool dcOnly;
};
using McuDecoderRoutine = void (*)(InputReader& in, const McuBlock* blocks, int count);

// The context handed to MCU output routines.
struct McuOutputArgs {
    const JPEG_PROPERTIES* props;
    const JpegDecoderState* state;
    const std::int16_t (*blocks)[64]; // the MCU's blocks in scan-component order
    std::int32_t mcuX, mcuY;          // MCU column and row (in the scan's MCU grid)
};
using McuOutputRoutine = void (*)(const McuOutputArgs& args);

// Whole-MCU inner conversion (a fast path's body for an MCU wholly inside the output).
using InnerConversionRoutine = void (*)(const std::int16_t (*blocks)[64], std::uint8_t* dst, std::ptrdiff_t lineBytes,
                                        std::int32_t cols, std::int32_t rows);

struct RoutineTable {
    // 1. No system library handles: the registry functions are linked.
    // 2. End-of-call routine.
    EndOfCallRoutine endOfCall = nullptr;
    // 3. Inverse DCTs by family [dctType] and size [0: 8x8, 1: 4x4, 2: 2x2, 3: 1x1].
    IdctRoutine idct[2][4] = {};
    // 4. The current set.
    IdctRoutine currentIdct[4] = {};
    // 5. The MCU output routine chosen for the frame.
    McuOutputRoutine mcuOutput = nullptr;
    // 6. Inner whole-MCU conversions by fastPath code: the YCbCr paths 1 to 6.
    InnerConversionRoutine inner[7] = {};
    //    The same for the gray to RGB/BGR copy (a general component copy with no fastPath code).
    InnerConversionRoutine grayTriples = nullptr;
    // 7. Entropy decoding: the sequential block decoder by dctType family, which decodes
    //    and dequantises every block of one MCU at a time (keeping the bit buffer in registers
    //    from block to block), and the region decoder's block skip decoder.
    McuDecoderRoutine mcuDecoder[2] = {};
    BlockSkipRoutine blockSkipDecoder = nullptr;
    // 8. Dequantisation by dctType, and the current one.
    DequantRoutine dequant[2] = {};
    DequantRoutine currentDequant = nullptr;
};

// ---- Processor dispatch (Routines.cpp) ----------------------------------------------------

// The processor description (identification leaves 0 and 1).
struct ProcessorDescription {
    char vendor[13];
    std::uint32_t brandIndex = 0, type = 0, family = 0, model = 0, stepping = 0, features = 0;
    // For the AVX2 class: leaf 0's maximum leaf, leaf 1's ECX, leaf 7's EBX (0 when the
    // maximum leaf is below 7) and XGETBV(0) (0 when OSXSAVE is clear).
    std::uint32_t maxLeaf = 0, featuresEcx = 0, extendedFeatures = 0;
    std::uint64_t xcr0 = 0;
};
// The class above SSE2 that the decoder picks where the processor and the system support
// AVX2; "USECPU" forces only 0..6.
constexpr int kCpuClassAvx2 = 7;
// No class: a null or freed context, or no "USECPU" override.
constexpr int kNoCpuClass = -1;
ProcessorDescription readProcessor();
// The CpuClass (0..6) of a family and leaf-1 EDX feature flags (bits 23 MMX, 25 SSE, 26 SSE2).
int classifyCpu(std::uint32_t family, std::uint32_t features);
// Whether AVX2 code may run: leaf 7 EBX bit 5 (read only when the maximum leaf is 7 or more),
// leaf 1 ECX bits 27 (OSXSAVE) and 28 (AVX), and XGETBV(0) bits 1 and 2 (XMM and YMM state).
bool supportsAvx2(std::uint32_t maxLeaf, std::uint32_t leaf1Ecx, std::uint32_t leaf7Ebx, std::uint64_t xcr0);
// The class the identification gives: the AVX2 class, else classifyCpu's.
int detectCpuClass(const ProcessorDescription& d);
// supportsAvx2 for this processor, identified once per process.
bool processorSupportsAvx2();
// Processor dispatch for a new context: the class ("USECPU" or detected) and the table of
// that class. Returns the class.
int dispatchProcessor(RoutineTable& table);
// The routine versions of a class (0..7).
void fillRoutineTable(RoutineTable& table, int cpuClass);

// SequentialBlocks.cpp: the sequential MCU decoders and the block skip decoder of a class (0..7).
void fillBlockDecoders(RoutineTable& table, int cpuClass);

// Output.cpp, ColorSse2.cpp and ColorAvx2.cpp: the inner whole-MCU conversions of a class.
void fillInnerRoutines(RoutineTable& table);
#if defined(__SSE2__)
void fillInnerRoutinesSse2(RoutineTable& table);
#endif
#if defined(XTPJPEG_AVX2)
void fillInnerRoutinesAvx2(RoutineTable& table);
#endif

} // namespace xtpjpeg
