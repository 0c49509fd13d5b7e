#include "picsource/PictureStream.h"

#include "picsource/PictureFolder.h"
#include "picsource/PictureSource.h"
#include "picsource/ShowTimeline.h"
#include "platform/base/WideText.h"
#include "platform/mediagraph/MediaFormat.h"
#include "platform/mediagraph/OwnedMediaType.h"
#include "platform/thread/Threads.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

LONG ClampPriority(LONG priority)
{
    if (priority > THREAD_PRIORITY_HIGHEST) return THREAD_PRIORITY_TIME_CRITICAL;
    if (priority < THREAD_PRIORITY_LOWEST) return THREAD_PRIORITY_IDLE;
    return priority;
}

// Whether a caller's frame of frameBytes holds width x height pixels of 24 bits.
bool FrameFits(LONG width, LONG height, LONG frameBytes)
{
    return width >= 1 && height >= 1 && width <= kMaxVideoSide && height <= kMaxVideoSide && frameBytes >= 0 &&
           FrameBuilder::FrameStride(width) * static_cast<std::uint64_t>(height) <=
               static_cast<std::uint64_t>(frameBytes);
}

// A builder of its own for each call: the streaming thread's buffer may be in use right now.
HRESULT RenderInto(const std::string& path, BYTE* frame, LONG width, LONG height, LONG frameBytes,
                   const PictureOptions& options, const ShowOptions& show)
{
    FrameBuilder builder;
    std::memset(frame, 0, static_cast<std::size_t>(frameBytes));
    return ShowPicture::ReadFrame(builder, path, frame, width, height, options, show);
}

} // namespace

PictureStream::PictureStream(PictureSource& source)
    : SourceStreamBase(source, u"PicSource"), SeekingBase(streamLock), owner(source)
{
}

PictureStream::~PictureStream() { Close(); }

HRESULT PictureStream::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IPictureSourceConfig) {
        *object = static_cast<IPictureSourceConfig*>(this);
    } else if (iid == IID_IMediaSeeking) {
        *object = static_cast<IMediaSeeking*>(this);
    } else {
        return OutputPinBase::NonDelegatingQueryInterface(iid, object);
    }
    AddRef();
    return S_OK;
}

HRESULT PictureStream::Notify(IBaseFilter*, Quality) { return E_INVALIDARG; }

REFERENCE_TIME PictureStream::ShowLength() const
{
    if (settings.show.lengthMs > 0) return static_cast<LONGLONG>(settings.show.lengthMs) * kUnitsPerMillisecond;
    return static_cast<LONGLONG>(settings.pictures.size()) * settings.repTime * kUnitsPerMillisecond;
}

std::uint64_t PictureStream::FrameBytes() const
{
    return FrameBuilder::FrameStride(settings.width) * static_cast<std::uint64_t>(settings.height);
}

// ---- Configuration ----

HRESULT PictureStream::SetFolder(LPCWSTR folder)
{
    if (!folder) return E_POINTER;
    if (!owner.IsStopped()) return E_INVALIDARG;
    // Folders of any length: the listing and the reads take the path whole.
    std::u16string withSeparator = PictureFolder::WithSeparator(folder);
    std::vector<std::u16string> listed = PictureFolder::List(withSeparator);
    std::vector<std::u16string> pictures = PictureFolder::Ordered(withSeparator, listed, settings.order);
    std::lock_guard lock(streamLock);
    settings.folder = std::move(withSeparator);
    settings.listed = std::move(listed);
    settings.pictures = std::move(pictures);
    settings.chosen.clear();
    if (settings.pictures.empty()) return E_INVALIDARG;
    seekStop = ShowLength();
    return S_OK;
}

HRESULT PictureStream::SetRepTime(LONG* milliseconds)
{
    if (!milliseconds) return E_POINTER;
    if (!owner.IsStopped() || *milliseconds < 1) return E_INVALIDARG;
    std::lock_guard lock(streamLock);
    settings.repTime = *milliseconds;
    return S_OK;
}

HRESULT PictureStream::GetRepTime(LONG* milliseconds)
{
    if (!milliseconds) return E_POINTER;
    if (!owner.IsStopped()) return E_INVALIDARG;
    std::lock_guard lock(streamLock);
    *milliseconds = settings.repTime;
    return S_OK;
}

HRESULT PictureStream::SetVideoSize(LONG* width, LONG* height)
{
    if (!width || !height) return E_POINTER;
    if (!owner.IsStopped()) return E_INVALIDARG;
    if (*width < 1 || *height < 1 || *width > kMaxVideoSide || *height > kMaxVideoSide) return E_INVALIDARG;
    {
        std::lock_guard lock(Filter().StateLock());
        settings.height = *height;
        settings.width = *width;
        BumpMediaTypeVersion();
    }
    if (!IsConnected()) return S_OK;
    OwnedMediaType type;
    HRESULT hr = GetMediaType(0, type.Receive());
    if (SUCCEEDED(hr)) hr = owner.ReconnectPin(this, &type.Record());
    return hr;
}

HRESULT PictureStream::GetVideoSize(LONG* width, LONG* height)
{
    if (!width || !height) return E_POINTER;
    if (!owner.IsStopped()) return E_INVALIDARG;
    std::lock_guard lock(Filter().StateLock());
    *height = settings.height;
    *width = settings.width;
    return S_OK;
}

HRESULT PictureStream::GetCurrentPicture(LONG* index)
{
    if (!index) return E_POINTER;
    *index = nextPicture.load();
    return S_OK;
}

HRESULT PictureStream::SetCurrentPicture(LONG index)
{
    if (index < 0) return E_INVALIDARG;
    std::lock_guard lock(streamLock);
    nextPicture = index;
    restartShow = true;
    return S_OK;
}

HRESULT PictureStream::GetPictureCount(LONG* count)
{
    if (!count) return E_POINTER;
    std::lock_guard lock(streamLock);
    *count = static_cast<LONG>(settings.pictures.size());
    return S_OK;
}

HRESULT PictureStream::SetWorkerPriority(LONG priority)
{
    settings.workerPriority = ClampPriority(priority);
    return SetPriority(settings.workerPriority) ? 1 : 0;
}

HRESULT PictureStream::GetOutputType(AM_MEDIA_TYPE* mediaType)
{
    if (!mediaType) return E_POINTER;
    return GetMediaType(0, mediaType);
}

HRESULT PictureStream::GetPictureName(LONG index, LPWSTR buffer, LONG capacity)
{
    if (!buffer) return E_POINTER;
    std::lock_guard lock(streamLock);
    if (index < 0 || static_cast<std::size_t>(index) >= settings.pictures.size() || capacity < 1) return E_INVALIDARG;
    const std::u16string path = settings.folder + settings.pictures[static_cast<std::size_t>(index)];
    if (path.size() + 1 > static_cast<std::size_t>(capacity)) return E_INVALIDARG;
    std::copy(path.begin(), path.end(), buffer);
    std::fill(buffer + path.size(), buffer + capacity, u'\0');
    return S_OK;
}

HRESULT PictureStream::SetPictureOptions(LONG orientation, LONG fit, LONG scaling)
{
    const PictureOptions options{orientation, fit, scaling};
    if (!owner.IsStopped() || !options.IsValid()) return E_INVALIDARG;
    std::lock_guard lock(streamLock);
    settings.options = options;
    return S_OK;
}

HRESULT PictureStream::GetPictureOptions(LONG* orientation, LONG* fit, LONG* scaling)
{
    if (!orientation || !fit || !scaling) return E_POINTER;
    std::lock_guard lock(streamLock);
    *orientation = settings.options.orientation;
    *fit = settings.options.fit;
    *scaling = settings.options.scaling;
    return S_OK;
}

HRESULT PictureStream::SetPictureOrder(LONG order)
{
    if (!owner.IsStopped() || !PictureOptions::IsOrder(order)) return E_INVALIDARG;
    // Stopped, no thread reads the list: the files' dates are read without the lock.
    if (!settings.chosen.empty()) {
        std::lock_guard lock(streamLock);
        settings.order = order;
        return S_OK;
    }
    std::vector<std::u16string> pictures = PictureFolder::Ordered(settings.folder, settings.listed, order);
    std::lock_guard lock(streamLock);
    settings.order = order;
    settings.pictures = std::move(pictures);
    return S_OK;
}

bool PictureStream::IsListed(std::u16string_view name) const
{
    // The listing is sorted, but case-blind: names that differ only in case are looked
    // at one by one.
    const auto first = std::lower_bound(
        settings.listed.begin(), settings.listed.end(), name,
        [](const std::u16string& a, std::u16string_view b) { return PictureFolder::ListsBefore(a, b); });
    for (auto at = first; at != settings.listed.end() && !PictureFolder::ListsBefore(name, *at); ++at)
        if (*at == name) return true;
    return false;
}

HRESULT PictureStream::SetPictureList(const LPCWSTR* names, LONG count)
{
    if (count > 0 && !names) return E_POINTER;
    if (count < 0 || !owner.IsStopped()) return E_INVALIDARG;
    if (count == 0) {
        std::vector<std::u16string> pictures = PictureFolder::Ordered(settings.folder, settings.listed, settings.order);
        std::lock_guard lock(streamLock);
        settings.chosen.clear();
        settings.pictures = std::move(pictures);
        return S_OK;
    }
    std::lock_guard lock(streamLock);
    std::vector<std::u16string> chosen;
    bool passedOver = false;
    for (LONG i = 0; i < count; ++i) {
        const std::u16string_view name = names[i] ? std::u16string_view(names[i]) : std::u16string_view();
        if (IsListed(name)) {
            chosen.emplace_back(name);
        } else {
            passedOver = true;
        }
    }
    if (chosen.empty()) return E_INVALIDARG;
    settings.chosen = chosen;
    settings.pictures = std::move(chosen);
    return passedOver ? S_FALSE : S_OK;
}

HRESULT PictureStream::GetFolderPictures(LONG order, LPWSTR names, LONG capacity, LONG* needed)
{
    if (!needed || (capacity > 0 && !names)) return E_POINTER;
    if (!PictureOptions::IsOrder(order)) return E_INVALIDARG;
    std::u16string folder;
    std::vector<std::u16string> listed;
    {
        std::lock_guard lock(streamLock);
        folder = settings.folder;
        listed = settings.listed;
    }
    // The files' dates are read outside the lock, so that the stream never waits on them.
    const std::vector<std::u16string> ordered = PictureFolder::Ordered(folder, listed, order);
    std::uint64_t total = 1;
    for (const std::u16string& name : ordered) total += name.size() + 1;
    if (total > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max())) return E_OUTOFMEMORY;
    *needed = static_cast<LONG>(total);
    if (total > static_cast<std::uint64_t>(std::max<LONG>(capacity, 0)))
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    for (const std::u16string& name : ordered) {
        names = std::copy(name.begin(), name.end(), names);
        *names++ = u'\0';
    }
    *names = u'\0';
    return S_OK;
}

HRESULT PictureStream::RenderThumbnail(LPCWSTR name, LONG width, LONG height, BYTE* frame, LONG frameBytes)
{
    if (!name || !frame) return E_POINTER;
    if (!FrameFits(width, height, frameBytes)) return E_INVALIDARG;
    std::string path;
    PictureOptions options{OrientationIgnore, FitLetterbox, ScalingSmooth};
    {
        std::lock_guard lock(streamLock);
        if (!IsListed(name)) return E_INVALIDARG;
        path = Utf8FromWide(settings.folder + name);
        options.orientation = settings.options.orientation;
    }
    return RenderInto(path, frame, width, height, frameBytes, options, ShowOptions{});
}

HRESULT PictureStream::SetShowOptions(const ShowOptions* options, LPCWSTR captionFile)
{
    if (!options) return E_POINTER;
    if (!owner.IsStopped() || !options->IsValid()) return E_INVALIDARG;
    PictureCaptions captions;
    if (options->caption != CaptionNone) {
        const HRESULT loaded = captions.Load(options->caption, captionFile ? captionFile : u"");
        if (FAILED(loaded)) return loaded;
    }
    std::lock_guard lock(streamLock);
    settings.show = *options;
    settings.captionFile = captionFile ? captionFile : u"";
    settings.captions = std::move(captions);
    if (options->lengthMs > 0) seekStop = ShowLength();
    return S_OK;
}

HRESULT PictureStream::GetShowOptions(ShowOptions* options)
{
    if (!options) return E_POINTER;
    std::lock_guard lock(streamLock);
    *options = settings.show;
    return S_OK;
}

HRESULT PictureStream::GetPictureOrder(LONG* order)
{
    if (!order) return E_POINTER;
    std::lock_guard lock(streamLock);
    *order = settings.order;
    return S_OK;
}

HRESULT PictureStream::RenderPicture(LONG index, LONG width, LONG height, BYTE* frame, LONG frameBytes)
{
    if (!frame) return E_POINTER;
    if (!FrameFits(width, height, frameBytes)) return E_INVALIDARG;
    std::string path;
    PictureOptions options;
    ShowOptions show;
    CaptionOverlay caption;
    {
        std::lock_guard lock(streamLock);
        if (index < 0 || static_cast<std::size_t>(index) >= settings.pictures.size()) return E_INVALIDARG;
        path = Utf8FromWide(settings.folder + settings.pictures[static_cast<std::size_t>(index)]);
        options = settings.options;
        show = settings.show;
        caption.Use(settings.captions, settings.folder, settings.pictures, show.captionPlace, show.captionSize);
    }
    // At rest: the background the show gives it, no motion.
    const HRESULT hr = RenderInto(path, frame, width, height, frameBytes, options, show);
    if (hr == S_OK && show.caption != CaptionNone) caption.DrawStill(index, frame, width, height);
    return hr;
}

// ---- Media types and buffers ----

HRESULT PictureStream::GetMediaType(int position, AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    std::lock_guard lock(Filter().StateLock());
    return VideoFormat::Rgb24(settings.width, settings.height).Write(type);
}

HRESULT PictureStream::CheckMediaType(const AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    VideoFormat format;
    if (!VideoFormat::Read(*type, &format) || !format.fixedSizeSamples || format.subtype != MEDIASUBTYPE_RGB24)
        return E_INVALIDARG;
    const LONGLONG width = format.width;
    const auto height = static_cast<LONGLONG>(format.Rows());
    if (width < kPictureSourceMinSide || height < kPictureSourceMinSide) return E_INVALIDARG;
    std::lock_guard lock(Filter().StateLock());
    return width == settings.width && height == settings.height ? S_OK : E_INVALIDARG;
}

HRESULT PictureStream::DecideBufferSize(IMemAllocator* offered, ALLOCATOR_PROPERTIES* request)
{
    if (!offered || !request) return E_POINTER;
    std::lock_guard lock(Filter().StateLock());
    VideoFormat format;
    if (!VideoFormat::Read(ConnectionType(), &format)) return E_UNEXPECTED;
    ALLOCATOR_PROPERTIES wanted{1, static_cast<LONG>(format.FrameBytes()), request->cbAlign, request->cbPrefix};
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = offered->SetProperties(&wanted, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < wanted.cbBuffer ? E_FAIL : S_OK;
}

// ---- Streaming ----

HRESULT PictureStream::OnThreadCreate()
{
    {
        std::lock_guard lock(streamLock);
        streamTime = 0;
        nextPicture = 0;
    }
    return SetThreadPriority(GetCurrentThread(), settings.workerPriority) ? 1 : 0;
}

HRESULT PictureStream::OnThreadStartPlay()
{
    REFERENCE_TIME start, stop;
    double rate;
    {
        std::lock_guard lock(streamLock);
        start = seekStart;
        stop = seekStop;
        rate = seekRate;
        restartShow = true;
    }
    return DeliverNewSegment(start, stop, rate);
}

HRESULT PictureStream::FillBuffer(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    BYTE* buffer = nullptr;
    const HRESULT got = sample->GetPointer(&buffer);
    const LONG size = sample->GetSize();
    if (FAILED(got) || !buffer || size < 0) return E_POINTER;
    std::memset(buffer, 0, static_cast<std::size_t>(size));

    // The decode runs outside the stream lock, so that no configuration call waits
    // for it; a seek stops this thread before it moves the next picture.
    std::unique_lock lock(streamLock);
    // A sample too small for the frame is a broken agreement, not the end of the pictures.
    if (FrameBytes() > static_cast<std::uint64_t>(size)) return VFW_E_BUFFER_OVERFLOW;
    if (settings.show.IsAnimated()) return FillShowFrame(sample, buffer, lock);
    if (restartShow) {
        slot = nextPicture;
        restartShow = false;
        UseCaptions();
    }
    const LONG width = settings.width;
    const LONG height = settings.height;
    const PictureOptions options = settings.options;
    const ShowOptions show = settings.show;
    const auto jobFor = [&](LONG index) {
        return PictureReadAhead::Job{
            index,   Utf8FromWide(settings.folder + settings.pictures[static_cast<std::size_t>(index)]),
            width,   height,
            options, settings.workerPriority,
            show,    false};
    };
    // A picture that cannot be read is passed over, and the user told, rather than
    // ending the movie there.
    for (;;) {
        const LONG index = nextPicture;
        if (index < 0 || static_cast<std::size_t>(index) >= settings.pictures.size()) return S_FALSE;
        nextPicture = index + 1;
        const PictureReadAhead::Job job = jobFor(index);
        const bool hasNext = static_cast<std::size_t>(index) + 1 < settings.pictures.size();
        const PictureReadAhead::Job next = hasNext ? jobFor(index + 1) : PictureReadAhead::Job{};
        lock.unlock();
        // Either the picture was read ahead, or it is read here while the next one is.
        HRESULT read = S_OK;
        if (!readAhead.Take(job, buffer, read)) {
            if (hasNext) readAhead.Start(next);
            read = ShowPicture::ReadFrame(frameBuilder, job.path, buffer, width, height, options, show);
        }
        if (SUCCEEDED(read)) {
            if (show.caption != CaptionNone) captionOverlay.DrawStill(index, buffer, width, height);
            break;
        }
        owner.NotifyEvent(EC_PICTURE_SKIPPED, index, read);
        lock.lock();
    }
    lock.lock();
    REFERENCE_TIME start = streamTime;
    // Slot by slot the durations add up to the boundaries exactly.
    streamTime +=
        ShowTimeline(static_cast<LONG>(settings.pictures.size()), settings.repTime, settings.show).Duration(slot++);
    REFERENCE_TIME stop = streamTime;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

void PictureStream::UseCaptions()
{
    captionOverlay.Use(settings.captions, settings.folder, settings.pictures, settings.show.captionPlace,
                       settings.show.captionSize);
}

HRESULT PictureStream::FillShowFrame(IMediaSample* sample, BYTE* buffer, std::unique_lock<std::mutex>& lock)
{
    if (restartShow) {
        SlideShow::Settings chosen{settings.folder,  settings.pictures, settings.width, settings.height,
                                   settings.repTime, settings.options,  settings.show,  settings.workerPriority};
        slideShow.Start(std::move(chosen), nextPicture, streamTime);
        restartShow = false;
        UseCaptions();
        slideShow.SetOverlay(settings.show.caption != CaptionNone ? &captionOverlay : nullptr);
    }
    lock.unlock();
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT made = slideShow.NextFrame(
        buffer, start, stop, [this](LONG index, HRESULT why) { owner.NotifyEvent(EC_PICTURE_SKIPPED, index, why); });
    lock.lock();
    if (made != S_OK) {
        if (made == S_FALSE) nextPicture = static_cast<LONG>(settings.pictures.size());
        return made;
    }
    nextPicture = slideShow.Shown() + 1;
    streamTime = stop;
    sample->SetTime(&start, &stop);
    sample->SetSyncPoint(TRUE);
    return S_OK;
}

// ---- Seeking ----

HRESULT PictureStream::ChangeStart()
{
    LONG target;
    {
        std::lock_guard lock(streamLock);
        const LONGLONG picture = settings.show.lengthMs > 0 ? ShowTimeline(static_cast<LONG>(settings.pictures.size()),
                                                                           settings.repTime, settings.show)
                                                                  .SlotAt(seekStart)
                                                            : seekStart / kUnitsPerMillisecond / settings.repTime;
        target = static_cast<LONG>(std::clamp<LONGLONG>(picture, 0, std::numeric_limits<LONG>::max()));
    }
    UpdateFromSeek(target);
    return S_OK;
}

void PictureStream::UpdateFromSeek(LONG target)
{
    // Under the state lock, so that a restart never interleaves its commands with those
    // of a Stop: a run command after Stop's exit would leave Stop waiting for good.
    std::lock_guard state(Filter().StateLock());
    if (!ThreadExists()) {
        nextPicture = target;
        return;
    }
    DeliverBeginFlush();
    CallWorker(CMD_STOP);
    // Set only once the worker has stopped: a frame still in flight during the flush
    // must not use up the picture sought.
    nextPicture = target;
    DeliverEndFlush();
    CallWorker(CMD_RUN);
}
