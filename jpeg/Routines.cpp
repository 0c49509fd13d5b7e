// Processor dispatch: the processor description, the processor's class (or the "USECPU"
// registry override), and the RoutineTable of the class.
//
// The registry calls go straight to the platform library, which the decoder links, so
// every program that decodes honours "USECPU".
#include "jpeg/Idct.h"
#include "jpeg/JpegInternal.h"
#include "jpeg/Routines.h"
#include "platform/registry/Registry.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xtpjpeg {

namespace {

#if defined(__SSE2__)
// The end-of-call routine of the SIMD classes: EMMS, so that x87 code after the call finds
// the floating-point registers free (the compiler's SSE2 code never touches MMX state, but
// the routine keeps that promise whatever the routines use).
void clearMmxState() { _mm_empty(); }
#endif

} // namespace

bool supportsAvx2(std::uint32_t maxLeaf, std::uint32_t leaf1Ecx, std::uint32_t leaf7Ebx, std::uint64_t xcr0)
{
    const bool osxsave = (leaf1Ecx >> 27) & 1;
    const bool avx = (leaf1Ecx >> 28) & 1;
    const bool avx2 = maxLeaf >= 7 && ((leaf7Ebx >> 5) & 1);
    const bool ymmState = (xcr0 & 6) == 6; // the system saves XMM and YMM registers
    return osxsave && avx && avx2 && ymmState;
}

int detectCpuClass(const ProcessorDescription& d)
{
    if (supportsAvx2(d.maxLeaf, d.featuresEcx, d.extendedFeatures, d.xcr0)) return kCpuClassAvx2;
    return classifyCpu(d.family, d.features);
}

bool processorSupportsAvx2()
{
    static const bool avx2 = [] {
        const ProcessorDescription d = readProcessor();
        return supportsAvx2(d.maxLeaf, d.featuresEcx, d.extendedFeatures, d.xcr0);
    }();
    return avx2;
}

int classifyCpu(std::uint32_t family, std::uint32_t features)
{
    const bool mmx = (features >> 23) & 1;
    const bool sse = (features >> 25) & 1;
    const bool sse2 = (features >> 26) & 1;
    if (family == 5) return mmx ? 3 : 1;
    if (family == 6) return !mmx ? 2 : (sse ? 5 : 4);
    if (family == 15 && sse2) return 6;
    return 0;
}

ProcessorDescription readProcessor()
{
    ProcessorDescription d;
    std::memset(d.vendor, ' ', 12);
    d.vendor[12] = 0;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        d.maxLeaf = eax;
        std::memcpy(d.vendor, &ebx, 4);
        std::memcpy(d.vendor + 4, &edx, 4);
        std::memcpy(d.vendor + 8, &ecx, 4);
        if (d.maxLeaf > 0 && __get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
            d.brandIndex = ebx & 0xFF;
            d.type = (eax >> 12) & 3;
            d.family = (eax >> 8) & 15;
            d.model = (eax >> 4) & 15;
            d.stepping = eax & 15;
            d.features = edx;
            d.featuresEcx = ecx;
        }
        if (d.maxLeaf >= 7 && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) d.extendedFeatures = ebx;
        // XGETBV faults unless the system has enabled it (OSXSAVE).
        if ((d.featuresEcx >> 27) & 1) {
            std::uint32_t lo = 0, hi = 0;
            __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
            d.xcr0 = (static_cast<std::uint64_t>(hi) << 32) | lo;
        }
    }
#endif
    return d;
}

namespace {

// "USECPU" under HKEY_LOCAL_MACHINE\Software\XTP\JpegDecoder: 0..6, or kNoCpuClass when the
// value or the key is missing, or the value does not fit in 4 bytes. The AVX2 class is
// never forced: 7 leaves the detected class, like any other value.
int registryCpuClass()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\XTP\\JpegDecoder", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return kNoCpuClass;
    std::int32_t value = kNoCpuClass;
    DWORD size = sizeof value;
    const LONG rc = RegQueryValueExA(key, "USECPU", nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || value < 0 || value > 6) return kNoCpuClass;
    return value;
}

} // namespace

int dispatchProcessor(RoutineTable& table)
{
    const ProcessorDescription d = readProcessor();
    const int forced = registryCpuClass();
    const int cpuClass = forced >= 0 ? forced : detectCpuClass(d);
    fillRoutineTable(table, cpuClass);
    return cpuClass;
}

// Classes 3 to 6 get the SIMD routines where the processor has SSE2 (always on x86-64);
// a class forced through "USECPU" on a processor without it keeps the plain routines
// rather than faulting. The AVX2 class adds its routines to the SSE2 ones only where the
// processor and the system support AVX2.
void fillRoutineTable(RoutineTable& t, int cpuClass)
{
    t.endOfCall = nullptr; // nothing to do at the end of a call in the plain table
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
    fillBlockDecoders(t, cpuClass);
#if defined(__SSE2__)
    if (cpuClass >= 3) {
        t.endOfCall = clearMmxState;
        t.idct[0][0] = idct8x8Type0Sse2;
        fillInnerRoutinesSse2(t);
        t.idct[1][0] = idct8x8Type1Sse2;
        t.currentIdct[0] = idct8x8Type1Sse2;
        t.dequant[1] = dequantType1Sse2;
        t.currentDequant = dequantType1Sse2;
    }
#endif
#if defined(XTPJPEG_AVX2)
    if (cpuClass == kCpuClassAvx2 && processorSupportsAvx2()) {
        t.idct[0][0] = idct8x8Type0Avx2;
        t.idct[1][0] = idct8x8Type1Avx2;
        t.currentIdct[0] = idct8x8Type1Avx2;
        t.idct[1][1] = idct4x4Type1Avx2;
        t.currentIdct[1] = idct4x4Type1Avx2;
        t.dequant[1] = dequantType1Avx2;
        t.currentDequant = dequantType1Avx2;
        fillInnerRoutinesAvx2(t);
    }
#endif
#if !defined(__SSE2__)
    (void)cpuClass;
#endif
}

} // namespace xtpjpeg
