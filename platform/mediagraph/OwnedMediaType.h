// A media type record that owns its format block, for the platform's pins.
//
// The interface field of a record is not kept: nothing on this platform
// attaches one, and holding it would tie the pin to an object it cannot know.
#pragma once

#include "platform/mediagraph/MediaGraph.h"

#include <vector>

class OwnedMediaType {
public:
    OwnedMediaType() = default;
    explicit OwnedMediaType(const AM_MEDIA_TYPE& type) { Assign(type); }

    void Assign(const AM_MEDIA_TYPE& type);
    void Clear();
    bool Empty() const { return empty; }
    // The record; its format block stays valid while this object is unchanged.
    const AM_MEDIA_TYPE& Record() const { return record; }
    // A copy whose format block is task memory that the receiver frees.
    HRESULT CopyTo(AM_MEDIA_TYPE* target) const;
    // A whole record in task memory, as enumerators hand them out; nullptr without memory.
    AM_MEDIA_TYPE* CreateTaskCopy() const;

    OwnedMediaType(const OwnedMediaType& other) { *this = other; }
    OwnedMediaType& operator=(const OwnedMediaType& other);

private:
    bool empty = true;
    AM_MEDIA_TYPE record{};
    std::vector<BYTE> format;
};

// Gives back the format block of a record that a pin filled (task memory).
void FreeMediaTypeFormat(AM_MEDIA_TYPE& type);
// Gives back a whole record an enumerator handed out, with its format block.
void DeleteTaskMediaType(AM_MEDIA_TYPE* type);
