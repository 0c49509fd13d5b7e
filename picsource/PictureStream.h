// The picture source's output pin: offers 24-bit RGB at the configured frame size,
// produces one frame per picture of the folder on its worker thread, stamps each
// with repTime milliseconds, seeks by picture, and carries the configuration
// interface.
#pragma once

#include "picsource/CaptionOverlay.h"
#include "picsource/FrameBuilder.h"
#include "picsource/IPictureSourceConfig.h"
#include "picsource/PictureReadAhead.h"
#include "picsource/SeekingBase.h"
#include "picsource/SlideShow.h"
#include "picsource/SourceStreamBase.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class PictureSource;

struct PictureSettings {
    LONG width = kPictureSourceWidth;
    LONG height = kPictureSourceHeight;
    LONG repTime = kPictureSourceRepTime;
    std::u16string folder;
    std::vector<std::u16string> pictures;
    // The folder's pictures as listed, from which `pictures` is put in `order`.
    std::vector<std::u16string> listed;
    LONG order = OrderListing;
    // The pictures a client chose (SetPictureList), which `pictures` then holds; empty
    // for the whole folder.
    std::vector<std::u16string> chosen;
    std::atomic<LONG> workerPriority{0};
    PictureOptions options;
    ShowOptions show;
    std::u16string captionFile;
    PictureCaptions captions;
};

class PictureStream final : public SourceStreamBase, public SeekingBase, public IPictureSourceConfig {
public:
    explicit PictureStream(PictureSource& owner);
    ~PictureStream() override;

    HRESULT QueryInterface(REFIID iid, void** object) override { return OutputPinBase::QueryInterface(iid, object); }
    ULONG AddRef() override { return OutputPinBase::AddRef(); }
    ULONG Release() override { return OutputPinBase::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    // IQualityControl: quality messages are refused.
    HRESULT Notify(IBaseFilter* self, Quality q) override;

    // IPictureSourceConfig
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

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

protected:
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnThreadCreate() override;
    HRESULT OnThreadStartPlay() override;
    HRESULT ChangeStart() override;
    HRESULT ChangeStop() override { return S_OK; }
    HRESULT ChangeRate() override { return S_OK; }

private:
    // Moves to picture `target`; a running stream restarts there with one flush and a
    // new segment.
    void UpdateFromSeek(LONG target);
    // Frame bytes at the configured size.
    std::uint64_t FrameBytes() const;
    // The stop position: the length of the whole list.
    REFERENCE_TIME ShowLength() const;
    // The next frame of an animated show, under streamLock (released meanwhile).
    // The captions of the pictures in force, for the frames from the next one on;
    // under streamLock.
    void UseCaptions();
    HRESULT FillShowFrame(IMediaSample* sample, BYTE* buffer, std::unique_lock<std::mutex>& lock);
    // Whether `name` is one of the folder's pictures, under streamLock.
    bool IsListed(std::u16string_view name) const;

    PictureSource& owner;
    std::mutex streamLock;
    PictureSettings settings;
    FrameBuilder frameBuilder;
    PictureReadAhead readAhead;
    SlideShow slideShow{readAhead, frameBuilder};
    CaptionOverlay captionOverlay;
    REFERENCE_TIME streamTime = 0;
    std::atomic<LONG> nextPicture{0};
    // The slot of the next still picture in the timeline, and whether a seek or a new
    // run makes the stream begin again at nextPicture.
    LONG slot = 0;
    bool restartShow = true;
};
