// CLSID_WMAsfWriter: the movie writer of .wmv files, an ASF container with the
// profile's Windows Media Video and Audio streams.
#pragma once

#include "platform/wmformat/MovieWriterFilter.h"

HRESULT CreateWMAsfWriter(IUnknown* outer, REFIID iid, void** object);

class WMAsfWriter final : public MovieWriterFilter {
public:
    WMAsfWriter() : MovieWriterFilter(CLSID_WMAsfWriter) {}

private:
    ~WMAsfWriter() override = default;

    MovieFormat FileFormat() const override { return {}; }
};
