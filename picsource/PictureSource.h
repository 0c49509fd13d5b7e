// The picture source filter (CLSID_PictureSource): one output pin, PictureStream,
// that delivers the JPEG pictures of a folder as uncompressed video frames. The
// filter answers IPictureSourceConfig by passing every call to its pin.
#pragma once

#include "picsource/IPictureSourceConfig.h"
#include "picsource/SourceFilterBase.h"

class PictureStream;

class PictureSource final : public SourceFilterBase, public ISpecifyPropertyPages, public IPictureSourceConfig {
public:
    // The class factory's creation function: a new filter with no references, or
    // null with a failure in *result.
    static ObjectBase* CreateInstance(IUnknown* outer, HRESULT* result);

    ~PictureSource() override;

    OBJECTBASE_DELEGATING_UNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // ISpecifyPropertyPages
    HRESULT GetPages(CAUUID* pages) override;

    // IPictureSourceConfig, forwarded to the pin.
    HRESULT SetFolder(LPCWSTR folder) override;
    HRESULT SetRepTime(LONG* milliseconds) override;
    HRESULT GetRepTime(LONG* milliseconds) override;
    HRESULT SetVideoSize(LONG* width, LONG* height) override;
    HRESULT GetVideoSize(LONG* width, LONG* height) override;
    HRESULT GetCurrentPicture(LONG* index) override;
    HRESULT SetCurrentPicture(LONG index) override;
    HRESULT GetPictureCount(LONG* count) override;
    HRESULT SetWorkerPriority(LONG priority) override;
    HRESULT GetOutputType(AM_MEDIA_TYPE* mediaType) override;
    HRESULT GetPictureName(LONG index, LPWSTR buffer, LONG capacity) override;
    HRESULT SetPictureOptions(LONG orientation, LONG fit, LONG scaling) override;
    HRESULT GetPictureOptions(LONG* orientation, LONG* fit, LONG* scaling) override;
    HRESULT RenderPicture(LONG index, LONG width, LONG height, BYTE* frame, LONG frameBytes) override;
    HRESULT SetPictureOrder(LONG order) override;
    HRESULT GetPictureOrder(LONG* order) override;
    HRESULT SetPictureList(const LPCWSTR* names, LONG count) override;
    HRESULT GetFolderPictures(LONG order, LPWSTR names, LONG capacity, LONG* needed) override;
    HRESULT RenderThumbnail(LPCWSTR name, LONG width, LONG height, BYTE* frame, LONG frameBytes) override;
    HRESULT SetShowOptions(const ShowOptions* options, LPCWSTR captionFile) override;
    HRESULT GetShowOptions(ShowOptions* options) override;

private:
    explicit PictureSource(IUnknown* outer);

    PictureStream* stream = nullptr;
};
