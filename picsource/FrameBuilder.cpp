#include "picsource/FrameBuilder.h"

#include "jpeg/Markers.h"
#include "picsource/ColourConverter.h"
#include "picsource/FileReadFailure.h"
#include "picsource/PicturePlacement.h"
#include "picsource/SmoothScaler.h"
#include "platform/mediagraph/MediaGraph.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int opened) : descriptor(opened) {}
    ~FileDescriptor()
    {
        if (descriptor >= 0) close(descriptor);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return descriptor; }

private:
    int descriptor;
};

JpegOperation ImageRead(int reduction)
{
    switch (reduction) {
    case 2:
        return ReadHalfBuffer;
    case 4:
        return ReadQuarterBuffer;
    case 8:
        return ReadEighthBuffer;
    default:
        return ReadImageBuffer;
    }
}

// Where upright pixel (u, v) of a w x h stored image (top row first) is found: at
// origin + u * across + v * down bytes. v counts upright rows from the top.
struct StoredWalk {
    std::ptrdiff_t origin;
    std::ptrdiff_t across;
    std::ptrdiff_t down;
};

StoredWalk WalkFor(int orientation, std::uint32_t w, std::uint32_t h)
{
    const auto row = static_cast<std::ptrdiff_t>(w) * 3;
    const std::ptrdiff_t right = (static_cast<std::ptrdiff_t>(w) - 1) * 3;
    const std::ptrdiff_t bottom = (static_cast<std::ptrdiff_t>(h) - 1) * row;
    switch (orientation) {
    case 2: // mirrored left to right
        return {right, -3, row};
    case 3: // turned half round
        return {right + bottom, -3, -row};
    case 4: // mirrored top to bottom
        return {bottom, 3, -row};
    case 5: // mirrored along the main diagonal
        return {0, row, 3};
    case 6: // to be turned a quarter clockwise
        return {bottom, -row, 3};
    case 7: // mirrored along the other diagonal
        return {right + bottom, -row, -3};
    case 8: // to be turned a quarter anticlockwise
        return {right, row, -3};
    default:
        return {0, 3, row};
    }
}

} // namespace

int FrameBuilder::Reduction(std::uint32_t fullWidth, std::uint32_t fullHeight, int orientation, LONG fit, int coverage,
                            LONG width, LONG height)
{
    if (width <= 0 || height <= 0) return 1;
    const bool swap = PicturePlacement::SwapsSides(orientation);
    const std::uint32_t uprightWidth = swap ? fullHeight : fullWidth;
    const std::uint32_t uprightHeight = swap ? fullWidth : fullHeight;
    const auto rect = PicturePlacement::Place(uprightWidth, uprightHeight, width, height, fit);
    return PicturePlacement::Reduction(uprightWidth, uprightHeight, rect, coverage);
}

std::uint64_t FrameBuilder::ReducedPixels(const DecodePlan& plan)
{
    const std::uint64_t r = static_cast<std::uint64_t>(plan.reduction);
    return (plan.fullWidth + r - 1) / r * ((plan.fullHeight + r - 1) / r);
}

std::uint32_t FrameBuilder::Picture::UprightWidth() const
{
    return PicturePlacement::SwapsSides(orientation) ? height : width;
}

std::uint32_t FrameBuilder::Picture::UprightHeight() const
{
    return PicturePlacement::SwapsSides(orientation) ? width : height;
}

std::uint64_t FrameBuilder::FrameStride(LONG width) { return DibRowBytes(width, 24); }

bool FrameBuilder::GrowOnlyBuffer::Reserve(std::uint64_t size)
{
    if (size <= capacity) return true;
    bytes.reset();
    capacity = 0;
    bytes.reset(new (std::nothrow) BYTE[size]);
    if (!bytes) return false;
    capacity = size;
    return true;
}

HRESULT FrameBuilder::ReadWhole(int descriptor, std::uint64_t size)
{
    std::uint64_t done = 0;
    while (done < size) {
        const ssize_t got = read(descriptor, fileBytes.bytes.get() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return FileReadFailure(errno);
        // The file shrank since it was measured.
        if (got == 0) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
        done += static_cast<std::uint64_t>(got);
    }
    return S_OK;
}

HRESULT FrameBuilder::LoadFile(const std::string& path)
{
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) return FileReadFailure(errno);
    struct stat info {};
    if (fstat(file.Get(), &info) != 0) return FileReadFailure(errno);
    if (!S_ISREG(info.st_mode)) return HRESULT_FROM_WIN32(ERROR_BAD_FILE_TYPE);
    if (info.st_size <= 0) return HRESULT_FROM_WIN32(ERROR_HANDLE_EOF);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > kMaxFileBytes) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    if (!fileBytes.Reserve(size)) return E_OUTOFMEMORY;
    fileSize = 0;
    const HRESULT hr = ReadWhole(file.Get(), size);
    if (SUCCEEDED(hr)) fileSize = size;
    return hr;
}

FrameBuilder::~FrameBuilder()
{
    if (decoderOpen) jpegFree(&decoder);
}

// Every picture is read with a fresh record, as if it were alone: a read leaves its
// colour and channel results in the record as the next read's request, and a camera
// photo (Exif, no JFIF or Adobe segment) takes the colour it finds there.
bool FrameBuilder::OpenFreshDecoder()
{
    if (decoderOpen) jpegFree(&decoder);
    decoder = JpegContext{};
    decoderOpen = jpegInit(&decoder) == JpegSuccess;
    return decoderOpen;
}

HRESULT FrameBuilder::PlanDecode(const PictureOptions& options, LONG width, LONG height, int coverage, DecodePlan& plan)
{
    if (!OpenFreshDecoder()) return E_OUTOFMEMORY;
    JpegContext& c = decoder;
    c.inFileName = nullptr;
    c.inBuffer = fileBytes.bytes.get();
    c.inBufferSize = static_cast<std::uint32_t>(fileSize);
    const int rc = jpegRead(&c, ReadParamsBuffer);
    // Bytes that do not even start as a JPEG file (SOI, FF D8) are named for what they
    // are, whichever marker the decoder's search then stumbled on.
    const bool startsAsJpeg =
        fileSize >= 2 && fileBytes.bytes[0] == xtpjpeg::kMarkerPrefix && fileBytes.bytes[1] == xtpjpeg::kSoi;
    if (rc != JpegSuccess) return startsAsJpeg ? NamedFailure(rc) : JpegNotJpeg;
    // Only colour and grey pictures become frames; anything else is refused before
    // any pixel memory is taken. A 3-channel picture keeps the colour the header
    // declares: Adobe's transform 0 codes R, G and B directly.
    if (c.imageChannels == 1) {
        c.imageColor = ColorGray;
    } else if (c.imageChannels != 3) {
        return JpegUnsupportedBytesPerPixel;
    }
    plan.fullWidth = c.imageWidth;
    plan.fullHeight = c.imageHeight;
    // A frame header of no width is malformed (no height is refused by the decoder).
    if (std::uint64_t{plan.fullWidth} * plan.fullHeight == 0) return JpegDataError;
    plan.orientation = options.orientation == OrientationExif && c.exifOrientation >= 1 && c.exifOrientation <= 8
                           ? static_cast<int>(c.exifOrientation)
                           : 1;
    plan.preciseColour = options.scaling == ScalingSmooth && c.imageChannels == 3 && c.imageColor == ColorYcbcr;
    // The decoder hands over uninterpreted components as they are, the chroma upsampled.
    if (plan.preciseColour) c.imageColor = ColorOther;
    plan.reduction = options.scaling == ScalingSmooth ? Reduction(plan.fullWidth, plan.fullHeight, plan.orientation,
                                                                  options.fit, coverage, width, height)
                                                      : 1;
    // A picture too large to hold whole (a phone's 108 megapixels) is decoded at the
    // smallest reduction that fits, and its frame made from that.
    while (ReducedPixels(plan) > kMaxPicturePixels && plan.reduction < 8) plan.reduction *= 2;
    if (ReducedPixels(plan) > kMaxPicturePixels) return JpegNotSupported;
    plan.outWidth = (plan.fullWidth + plan.reduction - 1) / plan.reduction;
    plan.outHeight = (plan.fullHeight + plan.reduction - 1) / plan.reduction;
    // A few bytes can declare a huge frame: no pixel memory for more than they can code.
    if (jpegMinimumStreamBytes(&c) > fileSize) return JpegErrorEof;
    return S_OK;
}

HRESULT FrameBuilder::DecodeInto(const DecodePlan& plan, BYTE* target, JpegColor colour, bool bottomUp,
                                 std::int32_t padBytes, Rows rows)
{
    JpegContext& c = decoder;
    const bool region = rows.top > 0 || rows.bottom < plan.outHeight;
    const auto count = static_cast<std::int32_t>(rows.bottom - rows.top);
    // Whole rows (a right edge of 0 is the picture's); all zero, the whole picture.
    const auto top = static_cast<std::int32_t>(region ? rows.top : 0);
    const auto bottom = static_cast<std::int32_t>(region ? rows.bottom : 0);
    const std::int32_t roi[4] = {0, top, 0, bottom};
    std::copy(roi, roi + 4, c.props.roi);
    c.outColor = colour;
    c.outChannels = 3;
    c.outWidth = plan.outWidth;
    c.outHeight = bottomUp ? -count : count;
    c.outPadBytes = padBytes;
    c.outBuffer = target;
    int rc = jpegRead(&c, ImageRead(plan.reduction));
    if (region && rc == JpegRoiSuccess) rc = JpegSuccess;
    // The picture is used at the size its pixel block was made for; a read that
    // claims another one is not trusted.
    if (rc == JpegSuccess && (c.imageWidth != plan.fullWidth || c.imageHeight != plan.fullHeight || c.outChannels != 3))
        rc = JpegDataError;
    return NamedFailure(rc);
}

// The decoder answers "Memory error" also when its input ends while it seeks the next
// marker: from a file without its closing EOI that is a file cut short.
int FrameBuilder::NamedFailure(int rc) const
{
    const bool endsWithEoi = fileSize >= 2 && fileBytes.bytes[fileSize - 2] == xtpjpeg::kMarkerPrefix &&
                             fileBytes.bytes[fileSize - 1] == xtpjpeg::kEoi;
    return rc == JpegMemoryError && !endsWithEoi ? JpegErrorEof : rc;
}

// Straight into the image: the decoder writes the rows bottom-up in B G R order with
// the frame's padding, the same bytes as a stored-order decode turned afterwards.
HRESULT FrameBuilder::DecodeRowsUpright(const DecodePlan& plan, Rows rows)
{
    const std::uint64_t stride = FrameStride(static_cast<LONG>(plan.outWidth));
    const std::uint32_t count = rows.bottom - rows.top;
    image = {};
    if (!imageBytes.Reserve(stride * count)) return E_OUTOFMEMORY;
    const auto rowBytes = std::size_t{plan.outWidth} * 3;
    const auto padBytes = static_cast<std::int32_t>(stride - rowBytes);
    const int rc =
        DecodeInto(plan, imageBytes.bytes.get(), plan.preciseColour ? ColorOther : ColorBgr, true, padBytes, rows);
    if (rc != JpegSuccess) return rc;
    if (plan.preciseColour)
        ColourConverter::YcbcrToRgb(imageBytes.bytes.get(), plan.outWidth, count, stride, ColourConverter::Order::Bgr);
    if (padBytes > 0) {
        for (std::uint32_t row = 0; row < count; ++row)
            std::memset(imageBytes.bytes.get() + row * stride + rowBytes, 0, static_cast<std::size_t>(padBytes));
    }
    image = {imageBytes.bytes.get(), plan.outWidth, plan.outHeight, stride};
    return S_OK;
}

HRESULT FrameBuilder::DecodeUpright(const DecodePlan& plan) { return DecodeRowsUpright(plan, {0, plan.outHeight}); }

HRESULT FrameBuilder::DecodePlanned(const DecodePlan& plan)
{
    if (plan.orientation == 1) return DecodeUpright(plan);
    Picture picture;
    const HRESULT decoded = DecodeStored(plan, picture);
    return decoded == S_OK ? TurnUpright(picture) : decoded;
}

HRESULT FrameBuilder::DecodeImage(const PictureOptions& options, LONG width, LONG height, int coverage)
{
    DecodePlan plan;
    const HRESULT hr = PlanDecode(options, width, height, coverage, plan);
    return hr == S_OK ? DecodePlanned(plan) : hr;
}

// Whole rows of about bandBytes, a multiple of the tallest MCU (32 rows) so that no MCU
// row is decoded for two bands.
std::uint32_t FrameBuilder::BandRows(const DecodePlan& plan) const
{
    constexpr std::uint64_t kMcuRows = 32;
    const std::uint64_t rows = bandBytes / FrameStride(static_cast<LONG>(plan.outWidth)) / kMcuRows * kMcuRows;
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(rows, kMcuRows, plan.outHeight));
}

bool FrameBuilder::DrawsInBands(const DecodePlan& plan, LONG width, LONG height) const
{
    return width > 0 && height > 0 && plan.orientation == 1 && jpegOneSequentialScan(&decoder) == 1 &&
           plan.outHeight > BandRows(plan);
}

// Bands from the top of the picture down. Each band's own rows are drawn from it, with the
// rows above them that a smooth output row reaches as well (decoded again for the band).
HRESULT FrameBuilder::DrawInBands(const DecodePlan& plan, BYTE* frame, LONG width, LONG height,
                                  const PictureOptions& options)
{
    const std::uint32_t pictureRows = plan.outHeight;
    std::uint32_t reach = 0;
    if (options.scaling == ScalingSmooth) {
        const auto rect = PicturePlacement::Place(plan.outWidth, pictureRows, width, height, options.fit);
        reach = SmoothScaler::MostTaps(pictureRows, rect.height) - 1;
    }
    const std::uint32_t rows = BandRows(plan);
    for (std::uint32_t top = 0; top < pictureRows; top += rows) {
        const std::uint32_t bottom = std::min(pictureRows, top + rows);
        const Rows decoded{top > reach ? top - reach : 0, bottom};
        HRESULT hr = DecodeRowsUpright(plan, decoded);
        // In the image's bottom-up numbering the band owns rows [pictureRows - bottom, pictureRows - top).
        const Band band{pictureRows - bottom, pictureRows - top};
        if (hr == S_OK) hr = FitBand(image, band, frame, width, height, options);
        image = {};
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

HRESULT FrameBuilder::DecodePicture(Picture& picture, const PictureOptions& options, LONG width, LONG height)
{
    DecodePlan plan;
    const HRESULT hr = PlanDecode(options, width, height, kShrinkCoverage, plan);
    return hr == S_OK ? DecodeStored(plan, picture) : hr;
}

HRESULT FrameBuilder::DecodeStored(const DecodePlan& plan, Picture& picture)
{
    picture.orientation = plan.orientation;
    picture.pixels.reset(new (std::nothrow) BYTE[std::uint64_t{plan.outWidth} * plan.outHeight * 3]);
    if (!picture.pixels) return E_OUTOFMEMORY;
    const int rc = DecodeInto(plan, picture.pixels.get(), plan.preciseColour ? ColorOther : ColorRgb, false, 0,
                              Rows{0, plan.outHeight});
    if (rc != JpegSuccess) {
        picture.pixels.reset();
        return rc;
    }
    if (plan.preciseColour)
        ColourConverter::YcbcrToRgb(picture.pixels.get(), plan.outWidth, plan.outHeight,
                                    std::uint64_t{plan.outWidth} * 3, ColourConverter::Order::Rgb);
    picture.width = plan.outWidth;
    picture.height = plan.outHeight;
    return S_OK;
}

HRESULT FrameBuilder::TurnUpright(const Picture& picture)
{
    const std::uint32_t width = picture.UprightWidth();
    const std::uint32_t height = picture.UprightHeight();
    const std::uint64_t stride = FrameStride(static_cast<LONG>(width));
    image = {};
    if (!imageBytes.Reserve(stride * height)) return E_OUTOFMEMORY;
    const StoredWalk walk = WalkFor(picture.orientation, picture.width, picture.height);
    const std::size_t rowBytes = std::size_t{width} * 3;
    for (std::uint32_t row = 0; row < height; ++row) {
        const BYTE* source = picture.pixels.get() + walk.origin + walk.down * static_cast<std::ptrdiff_t>(row);
        BYTE* target = imageBytes.bytes.get() + stride * (height - 1 - row);
        for (std::size_t x = 0; x < rowBytes; x += 3, source += walk.across) {
            target[x] = source[2];
            target[x + 1] = source[1];
            target[x + 2] = source[0];
        }
        std::memset(target + rowBytes, 0, stride - rowBytes);
    }
    image = {imageBytes.bytes.get(), width, height, stride};
    return S_OK;
}

HRESULT FrameBuilder::FitToFrame(const Image& source, BYTE* frame, LONG width, LONG height,
                                 const PictureOptions& options)
{
    return FitBand(source, Band::Whole(source), frame, width, height, options);
}

HRESULT FrameBuilder::FitBand(const Image& source, const Band& band, BYTE* frame, LONG width, LONG height,
                              const PictureOptions& options)
{
    if (width <= 0 || height <= 0 || source.width == 0 || source.height == 0) return S_OK;
    if (options.scaling != ScalingSmooth) {
        FitNearest(source, frame, width, height, options.fit, band);
        return S_OK;
    }
    const auto rect = PicturePlacement::Place(source.width, source.height, width, height, options.fit);
    return SmoothScaler::Scale(source, rect, frame, width, height, band) ? S_OK : E_OUTOFMEMORY;
}

// Anchored at the bottom-left pixel of the picture's rectangle; the part of the
// rectangle outside the frame is not visited.
void FrameBuilder::FitNearest(const Image& source, BYTE* frame, LONG width, LONG height, LONG fit, const Band& band)
{
    const std::uint32_t srcWidth = source.width;
    const std::uint32_t srcHeight = source.height;
    const std::uint64_t dstStride = FrameStride(width);
    const PicturePlacement::Rect rect = PicturePlacement::Place(srcWidth, srcHeight, width, height, fit);
    const PicturePlacement::Rect whole{0, 0, width, height};
    if (rect == whole && srcWidth == static_cast<std::uint32_t>(width) &&
        srcHeight == static_cast<std::uint32_t>(height)) {
        std::memcpy(frame + band.first * dstStride, source.pixels, source.stride * (band.ownedEnd - band.first));
        return;
    }
    const double fx = static_cast<double>(srcWidth) / static_cast<double>(rect.width);
    const double fy = static_cast<double>(srcHeight) / static_cast<double>(rect.height);
    const std::int64_t left = std::max<std::int64_t>(0, rect.left);
    const std::int64_t right = std::min<std::int64_t>(width, rect.left + rect.width);
    const std::int64_t bottom = std::max<std::int64_t>(0, rect.bottom);
    const std::int64_t top = std::min<std::int64_t>(height, rect.bottom + rect.height);
    std::vector<std::uint32_t> columnOffset(static_cast<std::size_t>(std::max<std::int64_t>(0, right - left)));
    for (std::int64_t j = left; j < right; ++j) {
        const auto sx = std::min(srcWidth - 1, static_cast<std::uint32_t>(static_cast<double>(j - rect.left) * fx));
        columnOffset[static_cast<std::size_t>(j - left)] = 3 * sx;
    }
    for (std::int64_t i = bottom; i < top; ++i) {
        const auto sy = std::min<std::uint64_t>(srcHeight - 1,
                                                static_cast<std::uint64_t>(static_cast<double>(i - rect.bottom) * fy));
        if (sy < band.first || sy >= band.ownedEnd) continue;
        const BYTE* sourceRow = source.pixels + (sy - band.first) * source.stride;
        BYTE* targetRow = frame + static_cast<std::uint64_t>(i) * dstStride + 3 * static_cast<std::uint64_t>(left);
        for (const std::uint32_t offset : columnOffset) {
            const BYTE* pixel = sourceRow + offset;
            *targetRow++ = pixel[0];
            *targetRow++ = pixel[1];
            *targetRow++ = pixel[2];
        }
    }
}

HRESULT FrameBuilder::ReadPicture(const std::string& path, BYTE* frame, LONG width, LONG height,
                                  const PictureOptions& options)
{
    HRESULT hr = LoadFile(path);
    DecodePlan plan;
    if (SUCCEEDED(hr)) hr = PlanDecode(options, width, height, kShrinkCoverage, plan);
    if (hr != S_OK) return hr;
    if (DrawsInBands(plan, width, height)) {
        if (DrawInBands(plan, frame, width, height, options) == S_OK) return S_OK;
        // The frame came in zeroed; it leaves so unless the whole read makes it.
        std::memset(frame, 0, FrameStride(width) * static_cast<std::uint64_t>(height));
        hr = PlanDecode(options, width, height, kShrinkCoverage, plan);
        if (hr != S_OK) return hr;
    }
    hr = DecodePlanned(plan);
    if (hr != S_OK) return hr;
    return FitToFrame(image, frame, width, height, options);
}
