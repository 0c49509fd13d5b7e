// Processor dispatch (Part 5.5): the processor description, the processor's class, the
// process-wide block copy and clear routines, and the plain RoutineTable.
//
// This issue builds the plain routines only: every context gets the plain table whatever
// its class. The class is still worked out from the processor's identification, so that
// [jpeg-full] can add the "USECPU" registry override and the SIMD tables beside it.
#include "jpeg/JpegInternal.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace xtpjpeg {

namespace {

// The process-wide processor description, rewritten by every jpegInit with the same values
// (relaxed atomics: concurrent initialisations on other threads are well defined).
struct ProcessorRecord {
  std::atomic<std::uint32_t> vendor[3];
  std::atomic<std::uint32_t> brandIndex, type, family, model, stepping, features;
};
ProcessorRecord gProcessor;

void moveBlock(void* dst, const void* src, std::size_t n) { std::memmove(dst, src, n); }
void clearBlock(void* dst, std::size_t n) { std::memset(dst, 0, n); }

std::atomic<BlockCopyRoutine> gBlockCopy{nullptr};
std::atomic<BlockClearRoutine> gBlockClear{nullptr};

}  // namespace

int classifyCpu(std::uint32_t family, std::uint32_t features) {
  const bool mmx = (features >> 23) & 1;
  const bool sse = (features >> 25) & 1;
  const bool sse2 = (features >> 26) & 1;
  if (family == 5) return mmx ? 3 : 1;
  if (family == 6) return !mmx ? 2 : (sse ? 5 : 4);
  if (family == 15 && sse2) return 6;
  return 0;
}

ProcessorDescription readProcessor() {
  ProcessorDescription d;
  std::memset(d.vendor, ' ', 12);
  d.vendor[12] = 0;
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
    std::memcpy(d.vendor, &ebx, 4);
    std::memcpy(d.vendor + 4, &edx, 4);
    std::memcpy(d.vendor + 8, &ecx, 4);
    if (eax > 0 && __get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
      d.brandIndex = ebx & 0xFF;
      d.type = (eax >> 12) & 3;
      d.family = (eax >> 8) & 15;
      d.model = (eax >> 4) & 15;
      d.stepping = eax & 15;
      d.features = edx;
    }
  }
#endif
  return d;
}

int dispatchProcessor() {
  const ProcessorDescription d = readProcessor();
  for (int i = 0; i < 3; ++i) {
    std::uint32_t word;
    std::memcpy(&word, d.vendor + 4 * i, 4);
    gProcessor.vendor[i].store(word, std::memory_order_relaxed);
  }
  gProcessor.brandIndex.store(d.brandIndex, std::memory_order_relaxed);
  gProcessor.type.store(d.type, std::memory_order_relaxed);
  gProcessor.family.store(d.family, std::memory_order_relaxed);
  gProcessor.model.store(d.model, std::memory_order_relaxed);
  gProcessor.stepping.store(d.stepping, std::memory_order_relaxed);
  gProcessor.features.store(d.features, std::memory_order_relaxed);
  gBlockCopy.store(moveBlock, std::memory_order_relaxed);
  gBlockClear.store(clearBlock, std::memory_order_relaxed);
  return classifyCpu(d.family, d.features);
}

BlockCopyRoutine blockCopyRoutine() { return gBlockCopy.load(std::memory_order_relaxed); }
BlockClearRoutine blockClearRoutine() { return gBlockClear.load(std::memory_order_relaxed); }

void fillPlainRoutineTable(RoutineTable& t) {
  t.endOfCall = nullptr;  // nothing to do at the end of a call in the plain table
  t.idct[0][0] = idct8x8Type0;
  t.idct[0][1] = idct4x4Type0;
  t.idct[0][2] = idct2x2Type0;
  t.idct[0][3] = idct1x1Type0;
  t.idct[1][0] = idct8x8Type1;
  t.idct[1][1] = idct4x4Type1;
  t.idct[1][2] = idct2x2Type1;
  t.idct[1][3] = idct1x1Type1;
  for (int i = 0; i < 4; ++i) t.currentIdct[i] = t.idct[1][i];
  t.mcuOutput = nullptr;
  fillInnerRoutines(t);
  t.dequant[0] = dequantType0;
  t.dequant[1] = dequantType1;
  t.currentDequant = dequantType1;
}

}  // namespace xtpjpeg
