#include "picsource/SlideShow.h"

#include "platform/base/WideText.h"

#include <algorithm>
#include <limits>

namespace {

// t's way through [from, from + length) as a weight 0..256, rounded.
int WeightAt(REFERENCE_TIME t, REFERENCE_TIME from, REFERENCE_TIME length)
{
    if (length <= 0) return ShowComposer::kFull;
    const LONGLONG weight = ((t - from) * ShowComposer::kFull + length / 2) / length;
    return static_cast<int>(std::clamp<LONGLONG>(weight, 0, ShowComposer::kFull));
}

} // namespace

SlideShow::SlideShow(PictureReadAhead& ahead, FrameBuilder& frameBuilder) : readAhead(ahead), builder(frameBuilder) {}

void SlideShow::SetOverlay(ShowOverlay* drawn)
{
    overlay = drawn;
    if (composer) composer->SetOverlay(drawn);
}

void SlideShow::Start(Settings chosen, LONG first, REFERENCE_TIME startTime)
{
    DropBefore(std::numeric_limits<LONG>::max());
    settings = std::move(chosen);
    const auto count = static_cast<LONG>(settings.pictures.size());
    timeline.emplace(count, settings.repTime, settings.show);
    composer = std::make_unique<ShowComposer>(settings.width, settings.height, settings.show);
    composer->SetOverlay(overlay);
    readCursor = std::clamp<LONG>(first, 0, count);
    nextSlot = readCursor;
    aheadIndex = -1;
    lastSlot = count - 1;
    shown = -1;
    firstFrame = frameIndex = timeline->FirstFrameFrom(timeline->Boundary(readCursor));
    origin = startTime;
}

PictureReadAhead::Job SlideShow::JobFor(LONG index) const
{
    PictureReadAhead::Job job;
    job.index = index;
    job.path = Utf8FromWide(settings.folder + settings.pictures[static_cast<std::size_t>(index)]);
    job.width = settings.width;
    job.height = settings.height;
    job.options = settings.options;
    job.priority = settings.priority;
    job.show = settings.show;
    job.wholePicture = true;
    return job;
}

const ShowPicture* SlideShow::Find(LONG slot) const
{
    for (const Held& entry : held)
        if (entry.slot == slot) return &entry.picture;
    return nullptr;
}

bool SlideShow::Ensure(LONG slot, const SkipReport& skipped)
{
    while (nextSlot <= slot) {
        if (!Load(nextSlot, skipped)) return false;
        ++nextSlot;
        // A slot too short for any frame of its own is passed through.
        while (held.size() > 2) DropBefore(held.front().slot + 1);
    }
    return true;
}

bool SlideShow::Load(LONG slot, const SkipReport& skipped)
{
    const auto count = static_cast<LONG>(settings.pictures.size());
    while (readCursor < count) {
        const LONG index = readCursor++;
        const PictureReadAhead::Job job = JobFor(index);
        ShowPicture picture;
        HRESULT read = S_OK;
        if (!readAhead.TakePicture(job, picture, read))
            read = picture.Prepare(builder, job.path, index, settings.width, settings.height, settings.options,
                                   settings.show);
        if (read == S_OK) {
            if (overlay) overlay->Prepare(index, settings.width, settings.height);
            held.push_back({slot, std::move(picture)});
            return true;
        }
        skipped(index, read);
    }
    return false;
}

void SlideShow::DropBefore(LONG slot)
{
    while (!held.empty() && held.front().slot < slot) {
        if (overlay) overlay->Forget(held.front().picture.index);
        held.pop_front();
    }
}

// Only while one picture is held: the one to come is then the only other in memory.
void SlideShow::ReadNextAhead()
{
    if (held.size() > 1 || readCursor >= static_cast<LONG>(settings.pictures.size()) || aheadIndex == readCursor)
        return;
    aheadIndex = readCursor;
    readAhead.Start(JobFor(readCursor));
}

// Motion runs over the picture's whole time on screen, its transitions included.
double SlideShow::Progress(LONG slot, REFERENCE_TIME t) const
{
    const REFERENCE_TIME from = timeline->Boundary(slot) - timeline->HalfTransition(slot);
    const REFERENCE_TIME to = timeline->Boundary(slot + 1) + timeline->HalfTransition(slot + 1);
    return to > from ? static_cast<double>(t - from) / static_cast<double>(to - from) : 0.0;
}

int SlideShow::Brightness(LONG slot, REFERENCE_TIME t) const
{
    int brightness = ShowComposer::kFull;
    const REFERENCE_TIME fadeIn = slot == 0 ? timeline->Fade(0) : 0;
    if (fadeIn > 0 && t < fadeIn) brightness = WeightAt(t, 0, fadeIn);
    const REFERENCE_TIME fadeOut = slot == lastSlot ? timeline->Fade(slot) : 0;
    const REFERENCE_TIME end = timeline->Boundary(slot + 1);
    if (fadeOut > 0 && t >= end - fadeOut)
        brightness = std::min(brightness, ShowComposer::kFull - WeightAt(t, end - fadeOut, fadeOut));
    return brightness;
}

HRESULT SlideShow::NextFrame(BYTE* frame, REFERENCE_TIME& start, REFERENCE_TIME& stop, const SkipReport& skipped)
{
    if (!timeline) return S_FALSE;
    const REFERENCE_TIME t = timeline->FrameTime(frameIndex);
    const LONG slot = timeline->SlotAt(t);
    if (slot > lastSlot) return S_FALSE;
    const REFERENCE_TIME halfIn = timeline->HalfTransition(slot);
    const bool mixingIn = halfIn > 0 && t < timeline->Boundary(slot) + halfIn && Find(slot - 1);
    DropBefore(mixingIn ? slot - 1 : slot);
    if (!Ensure(slot, skipped)) {
        lastSlot = slot - 1;
        return S_FALSE;
    }
    // The next picture is taken (and so known to exist) before its transition or this
    // one's fade to black would begin.
    const REFERENCE_TIME next = timeline->Boundary(slot + 1);
    const REFERENCE_TIME halfOut = slot < lastSlot ? timeline->HalfTransition(slot + 1) : 0;
    const REFERENCE_TIME lead = std::max(halfOut, timeline->Fade(slot));
    if (slot < lastSlot && t >= next - lead && !Ensure(slot + 1, skipped)) lastSlot = slot;
    ReadNextAhead();

    ShowComposer::Layer from{Find(slot), Progress(slot, t)};
    ShowComposer::Layer to;
    int weight = 0;
    if (mixingIn) {
        to = from;
        from = {Find(slot - 1), Progress(slot - 1, t)};
        weight = WeightAt(t, timeline->Boundary(slot) - halfIn, 2 * halfIn);
    } else if (slot < lastSlot && halfOut > 0 && t >= next - halfOut) {
        to = {Find(slot + 1), Progress(slot + 1, t)};
        weight = WeightAt(t, next - halfOut, 2 * halfOut);
    }
    if (!composer->Compose(from, to, weight, Brightness(slot, t), frame)) return E_OUTOFMEMORY;
    shown = Find(slot)->index;
    start = origin + t - timeline->FrameTime(firstFrame);
    stop = origin + timeline->FrameTime(frameIndex + 1) - timeline->FrameTime(firstFrame);
    ++frameIndex;
    return S_OK;
}
