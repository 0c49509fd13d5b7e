// The Windows Media Format interfaces the platform offers: the profile manager
// and its profiles (IWMProfileManager, IWMProfile, IWMStreamConfig,
// IWMMediaProps, IWMVideoMediaProps), and the ASF writer filter's
// configuration interfaces (IConfigAsfWriter, IFileSinkFilter), in their
// published method order, with their published identifiers and result codes.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

// The published WM_MEDIA_TYPE has the layout of AM_MEDIA_TYPE, field for field.
using WM_MEDIA_TYPE = AM_MEDIA_TYPE;

using WMT_VERSION = DWORD;
constexpr WMT_VERSION WMT_VER_9_0 = 0x00090000;

// Result codes (facility NS).
constexpr HRESULT NS_E_INVALID_DATA = MAKE_HRESULT_FAIL(0xC00D002Fu);
constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = MAKE_HRESULT_FAIL(0xC00D0BB8u);

// Subtypes of the two codecs the platform writes.
inline constexpr GUID WMMEDIASUBTYPE_WMV1 = SubtypeFromFourCC(0x31564D57);
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = SubtypeFromFourCC(0x00000161);
constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x0161;

inline constexpr IID IID_IWMProfileManager{
    0xD16679F2, 0x6CA0, 0x472D, {0x8D, 0x31, 0x2F, 0x5D, 0x55, 0xAE, 0xE1, 0x55}};
inline constexpr IID IID_IWMProfile{0x96406BDB, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
inline constexpr IID IID_IWMStreamConfig{0x96406BDC, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
inline constexpr IID IID_IWMMediaProps{0x96406BCE, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
inline constexpr IID IID_IWMVideoMediaProps{
    0x96406BCF, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};
inline constexpr IID IID_IConfigAsfWriter{0x45086030, 0xF7E4, 0x486A, {0xB5, 0x04, 0x82, 0x6B, 0xB5, 0x79, 0x2A, 0x3B}};
inline constexpr IID IID_IFileSinkFilter{0xA2104830, 0x7C70, 0x11CF, {0x8B, 0xCE, 0x00, 0xAA, 0x00, 0xA3, 0xF1, 0xA6}};

struct IWMStreamConfig;
struct IWMMutualExclusion;

struct IWMMediaProps : IUnknown {
    virtual HRESULT GetType(GUID* type) = 0;
    // With no record, *size receives the bytes needed: the record and its format block after it.
    virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
    virtual HRESULT SetMediaType(WM_MEDIA_TYPE* type) = 0;
};

struct IWMVideoMediaProps : IWMMediaProps {
    virtual HRESULT GetMaxKeyFrameSpacing(LONGLONG* time) = 0;
    virtual HRESULT SetMaxKeyFrameSpacing(LONGLONG time) = 0;
    virtual HRESULT GetQuality(DWORD* quality) = 0;
    virtual HRESULT SetQuality(DWORD quality) = 0;
};

struct IWMStreamConfig : IUnknown {
    virtual HRESULT GetStreamType(GUID* type) = 0;
    virtual HRESULT GetStreamNumber(WORD* number) = 0;
    virtual HRESULT SetStreamNumber(WORD number) = 0;
    virtual HRESULT GetStreamName(WCHAR* name, WORD* length) = 0;
    virtual HRESULT SetStreamName(WCHAR* name) = 0;
    virtual HRESULT GetConnectionName(WCHAR* name, WORD* length) = 0;
    virtual HRESULT SetConnectionName(WCHAR* name) = 0;
    virtual HRESULT GetBitrate(DWORD* bitrate) = 0;
    virtual HRESULT SetBitrate(DWORD bitrate) = 0;
    virtual HRESULT GetBufferWindow(DWORD* milliseconds) = 0;
    virtual HRESULT SetBufferWindow(DWORD milliseconds) = 0;
};

struct IWMProfile : IUnknown {
    virtual HRESULT GetVersion(WMT_VERSION* version) = 0;
    virtual HRESULT GetName(WCHAR* name, DWORD* length) = 0;
    virtual HRESULT SetName(const WCHAR* name) = 0;
    virtual HRESULT GetDescription(WCHAR* description, DWORD* length) = 0;
    virtual HRESULT SetDescription(const WCHAR* description) = 0;
    virtual HRESULT GetStreamCount(DWORD* count) = 0;
    virtual HRESULT GetStream(DWORD index, IWMStreamConfig** config) = 0;
    virtual HRESULT GetStreamByNumber(WORD number, IWMStreamConfig** config) = 0;
    virtual HRESULT RemoveStream(IWMStreamConfig* config) = 0;
    virtual HRESULT RemoveStreamByNumber(WORD number) = 0;
    virtual HRESULT AddStream(IWMStreamConfig* config) = 0;
    virtual HRESULT ReconfigStream(IWMStreamConfig* config) = 0;
    virtual HRESULT CreateNewStream(REFGUID type, IWMStreamConfig** config) = 0;
    virtual HRESULT GetMutualExclusionCount(DWORD* count) = 0;
    virtual HRESULT GetMutualExclusion(DWORD index, IWMMutualExclusion** exclusion) = 0;
    virtual HRESULT RemoveMutualExclusion(IWMMutualExclusion* exclusion) = 0;
    virtual HRESULT AddMutualExclusion(IWMMutualExclusion* exclusion) = 0;
    virtual HRESULT CreateNewMutualExclusion(IWMMutualExclusion** exclusion) = 0;
};

struct IWMProfileManager : IUnknown {
    virtual HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) = 0;
    virtual HRESULT LoadProfileByID(REFGUID id, IWMProfile** profile) = 0;
    // The text is a terminated UTF-16 string of the profile XML format.
    virtual HRESULT LoadProfileByData(const WCHAR* text, IWMProfile** profile) = 0;
    virtual HRESULT SaveProfile(IWMProfile* profile, WCHAR* text, DWORD* length) = 0;
    virtual HRESULT GetSystemProfileCount(DWORD* count) = 0;
    virtual HRESULT LoadSystemProfile(DWORD index, IWMProfile** profile) = 0;
};

PLATFORM_API HRESULT WMCreateProfileManager(IWMProfileManager** manager);

enum WMT_INDEXER_TYPE { WMT_IT_PRESENTATION_TIME = 0, WMT_IT_FRAME_NUMBERS = 1, WMT_IT_TIMECODE = 2 };

struct IConfigAsfWriter : IUnknown {
    virtual HRESULT ConfigureFilterUsingProfileId(DWORD profileId) = 0;
    virtual HRESULT GetCurrentProfileId(DWORD* profileId) = 0;
    virtual HRESULT ConfigureFilterUsingProfileGuid(REFGUID profile) = 0;
    virtual HRESULT GetCurrentProfileGuid(GUID* profile) = 0;
    // One input pin per stream of the profile; only while stopped and unconnected.
    virtual HRESULT ConfigureFilterUsingProfile(IWMProfile* profile) = 0;
    virtual HRESULT GetCurrentProfile(IWMProfile** profile) = 0;
    virtual HRESULT SetIndexMode(BOOL indexFile) = 0;
    virtual HRESULT GetIndexMode(BOOL* indexFile) = 0;
};

struct IFileSinkFilter : IUnknown {
    virtual HRESULT SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
    // The name is task memory that the caller frees.
    virtual HRESULT GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;
};
