// Operations on the media framework's media-type record (AM_MEDIA_TYPE) and the
// bitmap arithmetic of its video formats. The format block is task memory owned
// by the record; the interface field holds a counted reference.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

class MediaTypeRecord {
public:
    // Every field 0 except fixed-size samples true and sample size 1. Frees nothing.
    static void Blank(AM_MEDIA_TYPE& type);
    // target gets its own format block and reference; on E_OUTOFMEMORY its format size is 0.
    static HRESULT Copy(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source);
    // Gives back the format block and the interface reference.
    static void Release(AM_MEDIA_TYPE& type);
    // A new record in task memory copied from source, or null.
    static AM_MEDIA_TYPE* CreateCopy(const AM_MEDIA_TYPE& source);
    // Releases a record made by CreateCopy (or handed out by an enumerator).
    static void Delete(AM_MEDIA_TYPE* type);
    // A format block of exactly `size` bytes, reusing the present one when it has that
    // size; when no new block can be had, the old one stays if it is large enough.
    static BYTE* FormatBuffer(AM_MEDIA_TYPE& type, ULONG size);
    // 0 clears the fixed-size flag.
    static void SetSampleSize(AM_MEDIA_TYPE& type, ULONG size);
    static bool IsFullySpecified(const AM_MEDIA_TYPE& type);
    // Null major type, subtype or format type in the proposal match anything.
    static bool MatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& proposal);

    // Bytes of an uncompressed image: rows padded to 4 bytes, |height| rows.
    static std::uint64_t ImageSize(const BITMAPINFOHEADER& header);
    // The subtype a bitmap header describes, or GUID_NULL.
    static GUID SubtypeFromBitmap(const BITMAPINFOHEADER& header, const DWORD* masks);
};
