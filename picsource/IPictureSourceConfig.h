// IPictureSourceConfig: how a client configures and watches the picture source
// filter of libXTPPic.so. The filter (CLSID_PictureSource) and its output pin both
// answer it; the filter's copy forwards every call to the pin's.
//
// Methods marked "stopped only" answer E_INVALIDARG and change nothing while the
// filter is paused or running. Missing pointer arguments answer E_POINTER.
#pragma once

#include "picsource/PictureOptions.h"
#include "picsource/ShowOptions.h"
#include "platform/com/Com.h"
#include "platform/mediagraph/MediaGraph.h"
#include "platform/mediagraph/MediaResults.h"

// {560DEE2B-87C0-49FC-8ACE-1E4D3547B73B}
inline constexpr CLSID CLSID_PictureSource{
    0x560DEE2B, 0x87C0, 0x49FC, {0x8A, 0xCE, 0x1E, 0x4D, 0x35, 0x47, 0xB7, 0x3B}};
// {E627C41C-5B36-4326-852B-DB8FE22038DC}: the property page the filter names; this
// library does not serve it.
inline constexpr CLSID CLSID_PictureSourcePage{
    0xE627C41C, 0x5B36, 0x4326, {0x85, 0x2B, 0xDB, 0x8F, 0xE2, 0x20, 0x38, 0xDC}};
// {E58DFAD4-877E-440B-8693-F95E6E4A1B8D}
inline constexpr IID IID_IPictureSourceConfig{
    0xE58DFAD4, 0x877E, 0x440B, {0x86, 0x93, 0xF9, 0x5E, 0x6E, 0x4A, 0x1B, 0x8D}};

// Graph event of a picture that could not be read or decoded and was passed over; the
// stream goes on with the next picture, its times without a gap. param1: the picture's
// index in the list; param2: why, see IsDecoderResult.
inline constexpr LONG EC_PICTURE_SKIPPED = EC_USER + 0x100;

// Whether a skip reason is the JPEG decoder's own result code (its messages come from
// jpegErrorString); any other reason is a failure HRESULT of the file itself.
inline constexpr bool IsDecoderResult(LONG_PTR reason) { return reason < 0 && reason >= -99; }

// The source's settings until a client sets its own.
inline constexpr LONG kPictureSourceWidth = 320;
inline constexpr LONG kPictureSourceHeight = 240;
inline constexpr LONG kPictureSourceRepTime = 1000;
// SetVideoSize takes sides of 1 to kMaxVideoSide pixels, but the output pin connects
// only with frames of at least kPictureSourceMinSide pixels a side.
inline constexpr LONG kPictureSourceMinSide = 20;

struct IPictureSourceConfig : IUnknown {
    // Stopped only. Lists the folder's "*.jpg" files (any case) and replaces the picture
    // list; E_INVALIDARG also when none was found.
    virtual HRESULT SetFolder(LPCWSTR folder) = 0;
    // Stopped only. Milliseconds each picture stays on screen, 1 or more.
    virtual HRESULT SetRepTime(LONG* milliseconds) = 0;
    virtual HRESULT GetRepTime(LONG* milliseconds) = 0;
    // Stopped only. The output frame size; reconnects the output pin when it is connected
    // and answers the reconnection's result (the new size stays in force either way).
    virtual HRESULT SetVideoSize(LONG* width, LONG* height) = 0;
    virtual HRESULT GetVideoSize(LONG* width, LONG* height) = 0;
    // Any state: index of the next picture to deliver.
    virtual HRESULT GetCurrentPicture(LONG* index) = 0;
    // Any state: the next frame is taken from this index (0 or more; at or past the end
    // of the list the next frame request ends the stream).
    virtual HRESULT SetCurrentPicture(LONG index) = 0;
    virtual HRESULT GetPictureCount(LONG* count) = 0;
    // Any state. Clamped to THREAD_PRIORITY_IDLE, -2..2, THREAD_PRIORITY_TIME_CRITICAL and
    // stored; applied at once when the streaming thread exists. Answers 1 when applied,
    // 0 when refused or when no thread exists (both success codes).
    virtual HRESULT SetWorkerPriority(LONG priority) = 0;
    // Any state: the output media type. The format block is task memory the caller frees;
    // the record must be empty or valid.
    virtual HRESULT GetOutputType(AM_MEDIA_TYPE* mediaType) = 0;
    // Any state: folder and name of picture `index`, zero-filled to `capacity` characters.
    // E_INVALIDARG (nothing written) for an index outside the list or a path that does not
    // fit with its terminator.
    virtual HRESULT GetPictureName(LONG index, LPWSTR buffer, LONG capacity) = 0;

    // Appended after the original eleven, so that their slots stay where they were.

    // Stopped only. How each picture becomes a frame (PictureOptions.h); E_INVALIDARG,
    // nothing changed, for a value outside its enumeration.
    virtual HRESULT SetPictureOptions(LONG orientation, LONG fit, LONG scaling) = 0;
    virtual HRESULT GetPictureOptions(LONG* orientation, LONG* fit, LONG* scaling) = 0;
    // Any state: picture `index` as the stream would deliver it with the options in
    // force, into a caller's frame of width x height (20..16384 each way) of
    // frameBytes, at least height rows of ((width x 24 + 31) / 32) x 4 bytes. The
    // stream's own position and buffers are not touched. E_INVALIDARG for an index
    // outside the list, a size out of range or too small a frame; the reading's
    // failure (see EC_PICTURE_SKIPPED) when the picture cannot be read.
    virtual HRESULT RenderPicture(LONG index, LONG width, LONG height, BYTE* frame, LONG frameBytes) = 0;
    // Stopped only. The order of the picture list (PictureOrder); the list in place is
    // put in that order at once, and every later SetFolder lists in it. E_INVALIDARG,
    // nothing changed, for a value outside the enumeration.
    virtual HRESULT SetPictureOrder(LONG order) = 0;
    virtual HRESULT GetPictureOrder(LONG* order) = 0;
    // Stopped only. The pictures to take, by name (no folder), in this order: a
    // selection of the folder's, a name given twice is taken twice. Names that are no
    // picture of the folder are passed over (S_FALSE); none that is answers
    // E_INVALIDARG, nothing changed. A count of 0 returns to the whole folder in the
    // order in force, as every SetFolder does; while a list is set, SetPictureOrder
    // only stores the order for later.
    virtual HRESULT SetPictureList(const LPCWSTR* names, LONG count) = 0;
    // Any state: the names of all the folder's pictures, whatever list is set, in the
    // PictureOrder `order`, each followed by a zero and the whole by one more, into
    // `names` of `capacity` characters. `needed` receives the characters the whole
    // takes; when it does not fit, nothing is written and the answer is
    // HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER). E_INVALIDARG for an unknown order.
    virtual HRESULT GetFolderPictures(LONG order, LPWSTR names, LONG capacity, LONG* needed) = 0;
    // Any state, from any thread: the folder's picture `name` as a thumbnail in the
    // frame layout of RenderPicture: whole and centred, smoothly scaled from the
    // smallest decoder reduction that fills it (1/8 for a photograph), upright when
    // the orientation option says so. Only the file's bytes and its reduced decode are
    // held meanwhile. E_INVALIDARG for a name that is no picture of the folder and for
    // sizes as RenderPicture refuses them; the reading's failure otherwise.
    virtual HRESULT RenderThumbnail(LPCWSTR name, LONG width, LONG height, BYTE* frame, LONG frameBytes) = 0;
    // Stopped only. The slide show's effects (ShowOptions.h) and, for CaptionFromFile,
    // the captions file (null otherwise), read at once: E_INVALIDARG, nothing changed,
    // for a value out of range; the file's failure when it cannot be read.
    virtual HRESULT SetShowOptions(const ShowOptions* options, LPCWSTR captionFile) = 0;
    virtual HRESULT GetShowOptions(ShowOptions* options) = 0;

protected:
    ~IPictureSourceConfig() = default;
};
