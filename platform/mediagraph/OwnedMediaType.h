// A media type record that owns what it points to, and the operations on bare
// records that pins, samples and enumerators hand across interfaces. As the
// published record asks, the format block is task memory and the interface field
// holds a counted reference.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

class OwnedMediaType {
public:
    OwnedMediaType() = default;
    explicit OwnedMediaType(const AM_MEDIA_TYPE& type) { Assign(type); }
    ~OwnedMediaType() { Clear(); }
    OwnedMediaType(const OwnedMediaType& other) { Assign(other.record); }
    OwnedMediaType& operator=(const OwnedMediaType& other);
    OwnedMediaType(OwnedMediaType&& other) noexcept;
    OwnedMediaType& operator=(OwnedMediaType&& other) noexcept;

    // On E_OUTOFMEMORY the record keeps the fields but no format block.
    HRESULT Assign(const AM_MEDIA_TYPE& type);
    // Every field 0.
    void Clear();
    // The blank record: every field 0 but fixed-size samples true and sample size 1.
    void Blank();
    // The record; its format block stays valid while this object is unchanged.
    const AM_MEDIA_TYPE& Record() const { return record; }
    // The blank record, for a callee that fills it in place (as IPin and
    // IMediaDet answers do); what it leaves there is this object's to give back.
    AM_MEDIA_TYPE* Receive();
    // A copy with its own format block and reference that the receiver gives back.
    HRESULT CopyTo(AM_MEDIA_TYPE* target) const;
    // A whole record in task memory, as enumerators hand them out; nullptr without memory.
    AM_MEDIA_TYPE* CreateTaskCopy() const;

private:
    AM_MEDIA_TYPE record{};
};

// Sets the blank record's fields; frees nothing.
void BlankMediaType(AM_MEDIA_TYPE& type);
// target gets every field of source, its own format block and a reference; frees
// nothing of target. On E_OUTOFMEMORY target's format size is 0.
HRESULT CopyMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source);
// Gives back the format block and the interface reference of a record.
void FreeMediaTypeFormat(AM_MEDIA_TYPE& type);
// Gives back a whole record an enumerator handed out, with its format block.
void DeleteTaskMediaType(AM_MEDIA_TYPE* type);
// A format block of exactly `size` bytes, reusing the present one when it has that
// size; when no new block can be had, the old one stays if it is large enough,
// else the answer is nullptr.
BYTE* MediaTypeFormatBuffer(AM_MEDIA_TYPE& type, ULONG size);
// The record with its interface field left out, for holders that keep no
// foreign object alive.
AM_MEDIA_TYPE WithoutInterface(const AM_MEDIA_TYPE& type);
