#include "picsource/FrameBuilder.h"

#include "jpeg/JpegDecoder.h"
#include "picsource/MediaTypeRecord.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace {

class File {
public:
    explicit File(const std::string& path) : handle(std::fopen(path.c_str(), "rb")) {}
    ~File()
    {
        if (handle) std::fclose(handle);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* Get() const { return handle; }

private:
    std::FILE* handle;
};

// Releases the decoder's state on every path out of DecodePicture.
class DecoderSession {
public:
    DecoderSession() : ready(jpegInit(&context) == JpegSuccess) {}
    ~DecoderSession() { jpegFree(&context); }
    DecoderSession(const DecoderSession&) = delete;
    DecoderSession& operator=(const DecoderSession&) = delete;

    JpegContext context;
    const bool ready;
};

} // namespace

std::uint64_t FrameBuilder::FrameStride(LONG width) { return MediaTypeRecord::RowBytes(width, 24); }

bool FrameBuilder::Reserve(std::uint64_t size)
{
    if (size <= capacity) return true;
    fileBuffer.reset();
    capacity = 0;
    fileBuffer.reset(new (std::nothrow) BYTE[size]);
    if (!fileBuffer) return false;
    capacity = size;
    return true;
}

bool FrameBuilder::LoadFile(const std::string& path)
{
    File file(path);
    if (!file.Get()) return false;
    if (std::fseek(file.Get(), 0, SEEK_END) != 0) return false;
    const long size = std::ftell(file.Get());
    if (size <= 0 || static_cast<std::uint64_t>(size) > kMaxFileBytes) return false;
    if (std::fseek(file.Get(), 0, SEEK_SET) != 0) return false;
    if (!Reserve(static_cast<std::uint64_t>(size))) return false;
    fileSize = static_cast<std::uint64_t>(size);
    return std::fread(fileBuffer.get(), 1, fileSize, file.Get()) == fileSize;
}

bool FrameBuilder::DecodePicture(Picture& picture)
{
    DecoderSession session;
    if (!session.ready) return false;
    JpegContext& c = session.context;
    c.inFileName = nullptr;
    c.inBuffer = fileBuffer.get();
    c.inBufferSize = static_cast<std::uint32_t>(fileSize);
    if (jpegRead(&c, ReadParamsBuffer) != JpegSuccess) return false;
    // Only colour and grey pictures become frames; anything else is refused before
    // any pixel memory is taken.
    if (c.imageChannels == 1) {
        c.imageColor = ColorGray;
    } else if (c.imageChannels == 3) {
        c.imageColor = ColorYcbcr;
    } else {
        return false;
    }
    c.outColor = ColorRgb;
    c.outChannels = 3;
    const std::uint64_t pixels = std::uint64_t{c.imageWidth} * c.imageHeight;
    if (pixels == 0 || pixels > kMaxPicturePixels) return false;
    picture.pixels.reset(new (std::nothrow) BYTE[pixels * 3]);
    if (!picture.pixels) return false;
    c.outWidth = c.imageWidth;
    c.outHeight = static_cast<std::int32_t>(c.imageHeight);
    c.outPadBytes = 0;
    c.outBuffer = picture.pixels.get();
    if (jpegRead(&c, ReadImageBuffer) != JpegSuccess) {
        picture.pixels.reset();
        return false;
    }
    picture.width = c.imageWidth;
    picture.height = c.imageHeight;
    return true;
}

bool FrameBuilder::ConvertToBottomUpBgr(const Picture& picture)
{
    const std::uint64_t stride = FrameStride(static_cast<LONG>(picture.width));
    if (!Reserve(stride * picture.height)) return false;
    const std::size_t rowBytes = std::size_t{picture.width} * 3;
    for (std::uint32_t row = 0; row < picture.height; ++row) {
        const BYTE* source = picture.pixels.get() + rowBytes * row;
        BYTE* target = fileBuffer.get() + stride * (picture.height - 1 - row);
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            target[x] = source[x + 2];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x];
        }
        std::memset(target + rowBytes, 0, stride - rowBytes);
    }
    return true;
}

void FrameBuilder::FitToFrame(std::uint32_t srcWidth, std::uint32_t srcHeight, BYTE* frame, LONG width,
                              LONG height) const
{
    if (width <= 0 || height <= 0) return;
    const std::uint64_t srcStride = FrameStride(static_cast<LONG>(srcWidth));
    const std::uint64_t dstStride = FrameStride(width);
    const BYTE* source = fileBuffer.get();
    if (srcWidth == static_cast<std::uint32_t>(width) && srcHeight == static_cast<std::uint32_t>(height)) {
        std::memcpy(frame, source, srcStride * srcHeight);
        return;
    }
    const double fx = static_cast<double>(srcWidth) / width;
    const double fy = static_cast<double>(srcHeight) / height;
    std::vector<std::uint32_t> columnOffset(static_cast<std::size_t>(width));
    for (LONG j = 0; j < width; ++j) columnOffset[static_cast<std::size_t>(j)] = 3 * static_cast<std::uint32_t>(j * fx);
    for (LONG i = 0; i < height; ++i) {
        const BYTE* sourceRow = source + static_cast<std::uint64_t>(i * fy) * srcStride;
        BYTE* targetRow = frame + static_cast<std::uint64_t>(i) * dstStride;
        for (LONG j = 0; j < width; ++j) {
            const BYTE* pixel = sourceRow + columnOffset[static_cast<std::size_t>(j)];
            targetRow[3 * j] = pixel[0];
            targetRow[3 * j + 1] = pixel[1];
            targetRow[3 * j + 2] = pixel[2];
        }
    }
}

bool FrameBuilder::ReadPicture(const std::string& path, BYTE* frame, LONG width, LONG height)
{
    Picture picture;
    if (!LoadFile(path) || !DecodePicture(picture) || !ConvertToBottomUpBgr(picture)) return false;
    picture.pixels.reset();
    FitToFrame(picture.width, picture.height, frame, width, height);
    return true;
}
