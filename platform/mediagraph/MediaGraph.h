// The media-graph framework's published interfaces and records, in their
// published method order and with their published 64-bit layouts, so that
// filters written against them line up with the platform's own objects.
//
// The framework's `long` is 32 bits wide: it is LONG here.
#pragma once

#include "platform/com/Com.h"
#include "platform/mediagraph/MediaResults.h"
#include "platform/mediagraph/MediaTypes.h"

#include <cstddef>
#include <cstdint>

using REFERENCE_TIME = LONGLONG;
// Media times count 100-nanosecond units.
constexpr REFERENCE_TIME kUnitsPerMillisecond = 10'000;
constexpr REFERENCE_TIME kUnitsPerSecond = 1000 * kUnitsPerMillisecond;
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using HEVENT = DWORD_PTR;
using HSEMAPHORE = DWORD_PTR;

// Opaque: named by parameters that nothing on this platform calls.
struct IMoniker;
struct IBindCtx;
struct IEnumMoniker;
struct IEnumRegFilters;

// ---- Graphics records used by the video formats ----

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

// The largest frame side the platform's video filters accept.
constexpr LONG kMaxVideoSide = 16384;

// Bytes of one row of a bitmap `width` pixels wide (a negative width counts as none):
// device-independent bitmap rows end on a 4-byte boundary.
constexpr std::uint64_t DibRowBytes(LONG width, WORD bitCount)
{
    return (static_cast<std::uint64_t>(width < 0 ? 0 : width) * bitCount + 31) / 32 * 4;
}

// ---- Media types and formats ----

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

constexpr int iPALETTE_COLORS = 256;
constexpr int iMASK_COLORS = 3;

struct TRUECOLORINFO {
    DWORD dwBitMasks[iMASK_COLORS];
    RGBQUAD bmiColors[iPALETTE_COLORS];
};

struct VIDEOINFO {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
    union {
        RGBQUAD bmiColors[iPALETTE_COLORS];
        DWORD dwBitMasks[iMASK_COLORS];
        TRUECOLORINFO TrueColorInfo;
    };
};

constexpr WORD WAVE_FORMAT_PCM = 1;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)

// ---- Filter, pin and allocator records ----

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

constexpr int MAX_FILTER_NAME = 128;
constexpr int MAX_PIN_NAME = 128;

struct IFilterGraph;
struct IBaseFilter;

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;
};

struct PIN_INFO {
    IBaseFilter* pFilter;
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};

// IMemAllocator::GetBuffer flags.
constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
constexpr DWORD AM_GBF_NOWAIT = 4;
constexpr DWORD AM_GBF_NODDSURFACELOCK = 8;

enum QualityMessageType { Famine = 0, Flood = 1 };

struct Quality {
    QualityMessageType Type;
    LONG Proportion;
    REFERENCE_TIME Late;
    REFERENCE_TIME TimeStamp;
};

struct CAUUID {
    ULONG cElems;
    GUID* pElems;
};

// ---- Filter registration records ----

constexpr DWORD MERIT_PREFERRED = 0x800000;
constexpr DWORD MERIT_NORMAL = 0x600000;
constexpr DWORD MERIT_UNLIKELY = 0x400000;
constexpr DWORD MERIT_DO_NOT_USE = 0x200000;
constexpr DWORD MERIT_SW_COMPRESSOR = 0x100000;
constexpr DWORD MERIT_HW_COMPRESSOR = 0x100050;

struct REGPINTYPES {
    const CLSID* clsMajorType;
    const CLSID* clsMinorType;
};

struct REGFILTERPINS {
    LPWSTR strName;
    BOOL bRendered;
    BOOL bOutput;
    BOOL bZero;
    BOOL bMany;
    const CLSID* clsConnectsToFilter;
    const WCHAR* strConnectsToPin;
    UINT nMediaTypes;
    const REGPINTYPES* lpMediaType;
};

struct REGPINMEDIUM {
    CLSID clsMedium;
    DWORD dw1;
    DWORD dw2;
};

constexpr DWORD REG_PINFLAG_B_ZERO = 0x1;
constexpr DWORD REG_PINFLAG_B_RENDERER = 0x2;
constexpr DWORD REG_PINFLAG_B_MANY = 0x4;
constexpr DWORD REG_PINFLAG_B_OUTPUT = 0x8;

struct REGFILTERPINS2 {
    DWORD dwFlags;
    UINT cInstances;
    UINT nMediaTypes;
    const REGPINTYPES* lpMediaType;
    UINT nMediums;
    const REGPINMEDIUM* lpMedium;
    const CLSID* clsPinCategory;
};

struct REGFILTER2 {
    DWORD dwVersion;
    DWORD dwMerit;
    union {
        struct {
            ULONG cPins;
            const REGFILTERPINS* rgPins;
        };
        struct {
            ULONG cPins2;
            const REGFILTERPINS2* rgPins2;
        };
    };
};

// The setup records a filter library describes itself with: the same layouts
// as the version 1 registration records.
using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;

struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};

// ---- Interfaces ----

#define REELSMITH_INTERFACE_END(name) \
protected:                            \
    ~name() = default;

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* classID) = 0;
    REELSMITH_INTERFACE_END(IPersist)
};

struct IReferenceClock : IUnknown {
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
    virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                               DWORD_PTR* adviseCookie) = 0;
    virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime, HSEMAPHORE semaphore,
                                   DWORD_PTR* adviseCookie) = 0;
    virtual HRESULT Unadvise(DWORD_PTR adviseCookie) = 0;
    REELSMITH_INTERFACE_END(IReferenceClock)
};

struct IMediaFilter : IPersist {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD milliSecsTimeout, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
    REELSMITH_INTERFACE_END(IMediaFilter)
};

struct IPin;
struct IEnumPins;
struct IEnumMediaTypes;

struct IBaseFilter : IMediaFilter {
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
    virtual HRESULT QueryVendorInfo(LPWSTR* vendorInfo) = 0;
    REELSMITH_INTERFACE_END(IBaseFilter)
};

struct IPin : IUnknown {
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryId(LPWSTR* id) = 0;
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
    virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
    REELSMITH_INTERFACE_END(IPin)
};

struct IEnumPins : IUnknown {
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** copy) = 0;
    REELSMITH_INTERFACE_END(IEnumPins)
};

struct IEnumMediaTypes : IUnknown {
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMediaTypes** copy) = 0;
    REELSMITH_INTERFACE_END(IEnumMediaTypes)
};

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** copy) = 0;
    REELSMITH_INTERFACE_END(IEnumFilters)
};

struct IFilterGraph : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;
    REELSMITH_INTERFACE_END(IFilterGraph)
};

struct IGraphBuilder : IFilterGraph {
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
    virtual HRESULT Render(IPin* out) = 0;
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    virtual HRESULT AddSourceFilter(LPCWSTR fileName, LPCWSTR filterName, IBaseFilter** filter) = 0;
    virtual HRESULT SetLogFile(DWORD_PTR file) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT ShouldOperationContinue() = 0;
    REELSMITH_INTERFACE_END(IGraphBuilder)
};

struct IFilterGraph2 : IGraphBuilder {
    virtual HRESULT AddSourceFilterForMoniker(IMoniker* moniker, IBindCtx* context, LPCWSTR filterName,
                                              IBaseFilter** filter) = 0;
    virtual HRESULT ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT RenderEx(IPin* out, DWORD flags, DWORD* context) = 0;
    REELSMITH_INTERFACE_END(IFilterGraph2)
};

struct IMediaSample : IUnknown {
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(BOOL isSyncPoint) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL isPreroll) = 0;
    virtual LONG GetActualDataLength() = 0;
    virtual HRESULT SetActualDataLength(LONG length) = 0;
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** mediaType) = 0;
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* mediaType) = 0;
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL isDiscontinuity) = 0;
    virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
    virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
    REELSMITH_INTERFACE_END(IMediaSample)
};

struct IMemAllocator : IUnknown {
    virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
    virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT Commit() = 0;
    virtual HRESULT Decommit() = 0;
    virtual HRESULT GetBuffer(IMediaSample** buffer, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags) = 0;
    virtual HRESULT ReleaseBuffer(IMediaSample* buffer) = 0;
    REELSMITH_INTERFACE_END(IMemAllocator)
};

struct IMemInputPin : IUnknown {
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
    virtual HRESULT ReceiveCanBlock() = 0;
    REELSMITH_INTERFACE_END(IMemInputPin)
};

// IMediaSeeking capabilities and positioning flags.
constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
constexpr DWORD AM_SEEKING_CanPlayBackwards = 0x40;
constexpr DWORD AM_SEEKING_CanDoSegments = 0x80;
constexpr DWORD AM_SEEKING_Source = 0x100;

constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
constexpr DWORD AM_SEEKING_ReturnTime = 0x8;
constexpr DWORD AM_SEEKING_Segment = 0x10;
constexpr DWORD AM_SEEKING_NoFlush = 0x20;

struct IMediaSeeking : IUnknown {
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                      const GUID* sourceFormat) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    virtual HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) = 0;
    virtual HRESULT SetRate(double rate) = 0;
    virtual HRESULT GetRate(double* rate) = 0;
    virtual HRESULT GetPreroll(LONGLONG* preroll) = 0;
    REELSMITH_INTERFACE_END(IMediaSeeking)
};

struct IQualityControl : IUnknown {
    virtual HRESULT Notify(IBaseFilter* self, Quality q) = 0;
    virtual HRESULT SetSink(IQualityControl* sink) = 0;
    REELSMITH_INTERFACE_END(IQualityControl)
};

struct IMediaEventSink : IUnknown {
    virtual HRESULT Notify(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;
    REELSMITH_INTERFACE_END(IMediaEventSink)
};

struct ISpecifyPropertyPages : IUnknown {
    virtual HRESULT GetPages(CAUUID* pages) = 0;
    REELSMITH_INTERFACE_END(ISpecifyPropertyPages)
};

struct IAMovieSetup : IUnknown {
    virtual HRESULT Register() = 0;
    virtual HRESULT Unregister() = 0;
    REELSMITH_INTERFACE_END(IAMovieSetup)
};

struct IFilterMapper : IUnknown {
    virtual HRESULT RegisterFilter(CLSID filter, LPCWSTR name, DWORD merit) = 0;
    virtual HRESULT RegisterFilterInstance(CLSID filter, LPCWSTR name, CLSID* mediaResource) = 0;
    virtual HRESULT RegisterPin(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero, BOOL many,
                                CLSID connectsToFilter, LPCWSTR connectsToPin) = 0;
    virtual HRESULT RegisterPinType(CLSID filter, LPCWSTR pinName, CLSID majorType, CLSID subType) = 0;
    virtual HRESULT UnregisterFilter(CLSID filter) = 0;
    virtual HRESULT UnregisterFilterInstance(CLSID mediaResource) = 0;
    virtual HRESULT UnregisterPin(CLSID filter, LPCWSTR name) = 0;
    virtual HRESULT EnumMatchingFilters(IEnumRegFilters** filters, DWORD merit, BOOL inputNeeded, CLSID inMajor,
                                        CLSID inSub, BOOL render, BOOL outputNeeded, CLSID outMajor, CLSID outSub) = 0;
    REELSMITH_INTERFACE_END(IFilterMapper)
};

struct IFilterMapper2 : IUnknown {
    virtual HRESULT CreateCategory(REFCLSID category, DWORD categoryMerit, LPCWSTR description) = 0;
    virtual HRESULT UnregisterFilter(const CLSID* category, LPCOLESTR instance, REFCLSID filter) = 0;
    virtual HRESULT RegisterFilter(REFCLSID filter, LPCWSTR name, IMoniker** moniker, const CLSID* category,
                                   LPCOLESTR instance, const REGFILTER2* filterData) = 0;
    virtual HRESULT EnumMatchingFilters(IEnumMoniker** filters, DWORD flags, BOOL exactMatch, DWORD merit,
                                        BOOL inputNeeded, DWORD inputTypeCount, const GUID* inputTypes,
                                        const REGPINMEDIUM* inputMedium, const CLSID* inputPinCategory, BOOL render,
                                        BOOL outputNeeded, DWORD outputTypeCount, const GUID* outputTypes,
                                        const REGPINMEDIUM* outputMedium, const CLSID* outputPinCategory) = 0;
    REELSMITH_INTERFACE_END(IFilterMapper2)
};

#undef REELSMITH_INTERFACE_END

// ---- Interface identifiers ----

inline constexpr IID IID_IPersist{0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPin{0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumPins{0x56A86892, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumFilters{0x56A86893, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBaseFilter{0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IReferenceClock{0x56A86897, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaFilter{0x56A86899, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaSample{0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMemAllocator{0x56A8689C, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMemInputPin{0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IFilterGraph{0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEventSink{0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IFilterMapper{0x56A868A3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IQualityControl{0x56A868A5, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IGraphBuilder{0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumMediaTypes{0x89C31040, 0x846B, 0x11CE, {0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr IID IID_IMediaSeeking{0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr IID IID_IFilterGraph2{0x36B73882, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr IID IID_IFilterMapper2{0xB79BB0B0, 0x33C1, 0x11D1, {0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
inline constexpr IID IID_ISpecifyPropertyPages{
    0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IAMovieSetup{0xA3D8CEC0, 0x7E5A, 0x11CF, {0xBB, 0xC5, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x20}};

// ---- The published 64-bit layouts ----

static_assert(sizeof(GUID) == 16);
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(RECT) == 16);
static_assert(sizeof(AM_MEDIA_TYPE) == 88);
static_assert(offsetof(AM_MEDIA_TYPE, bFixedSizeSamples) == 32);
static_assert(offsetof(AM_MEDIA_TYPE, lSampleSize) == 40);
static_assert(offsetof(AM_MEDIA_TYPE, formattype) == 44);
static_assert(offsetof(AM_MEDIA_TYPE, pUnk) == 64);
static_assert(offsetof(AM_MEDIA_TYPE, cbFormat) == 72);
static_assert(offsetof(AM_MEDIA_TYPE, pbFormat) == 80);
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);
static_assert(sizeof(VIDEOINFO) == 1128);
static_assert(offsetof(VIDEOINFO, bmiColors) == 88);
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(ALLOCATOR_PROPERTIES) == 16);
static_assert(sizeof(FILTER_INFO) == 264);
static_assert(sizeof(PIN_INFO) == 272);
static_assert(offsetof(PIN_INFO, achName) == 12);
static_assert(sizeof(Quality) == 24);
static_assert(sizeof(CAUUID) == 16);
static_assert(sizeof(REGPINTYPES) == 16);
static_assert(sizeof(REGFILTERPINS) == 56);
static_assert(offsetof(REGFILTERPINS, clsConnectsToFilter) == 24);
static_assert(offsetof(REGFILTERPINS, nMediaTypes) == 40);
static_assert(offsetof(REGFILTERPINS, lpMediaType) == 48);
static_assert(sizeof(REGPINMEDIUM) == 24);
static_assert(sizeof(REGFILTERPINS2) == 48);
static_assert(sizeof(REGFILTER2) == 24);
static_assert(offsetof(REGFILTER2, cPins) == 8);
static_assert(offsetof(REGFILTER2, rgPins) == 16);
static_assert(offsetof(REGFILTER2, rgPins2) == 16);
static_assert(sizeof(AMOVIESETUP_FILTER) == 32);
