// The read-ahead hands over only the very job it was given, once, with the frame
// and the result a builder of the streaming thread's gives for it.
#include "picsource/PictureReadAhead.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Picture(const char* name) { return std::string(PICTURES_DIR) + "/" + name; }

PictureReadAhead::Job JobFor(LONG index, const std::string& path, LONG fit = FitStretch, LONG scaling = ScalingNearest)
{
    PictureOptions options;
    options.fit = fit;
    options.scaling = scaling;
    return {index, path, 96, 64, options, 0, {}, false};
}

std::vector<BYTE> Frame(const PictureReadAhead::Job& job)
{
    return std::vector<BYTE>(FrameBuilder::FrameStride(job.width) * job.height, 0);
}

} // namespace

TEST(PictureReadAheadTest, HandsOverOnlyTheJobItWasGivenAndOnce)
{
    PictureReadAhead ahead;
    const PictureReadAhead::Job smooth = JobFor(1, Picture("fit/portrait-2.jpg"), FitLetterbox, ScalingSmooth);
    std::vector<BYTE> frame = Frame(smooth);
    HRESULT result = E_FAIL;
    EXPECT_FALSE(ahead.Take(smooth, frame.data(), result)) << "nothing was started";

    ahead.Start(smooth);
    for (const PictureReadAhead::Job& other :
         {JobFor(2, smooth.path, FitLetterbox, ScalingSmooth), JobFor(1, smooth.path, FitCrop, ScalingSmooth),
          JobFor(1, Picture("fit/portrait-3.jpg"), FitLetterbox, ScalingSmooth)}) {
        EXPECT_FALSE(ahead.Take(other, frame.data(), result)) << other.index << " " << other.path;
    }
    EXPECT_EQ(frame, Frame(smooth)) << "a refused take copies nothing";

    ASSERT_TRUE(ahead.Take(smooth, frame.data(), result));
    EXPECT_EQ(result, S_OK);
    FrameBuilder builder;
    std::vector<BYTE> expected = Frame(smooth);
    ASSERT_EQ(builder.ReadPicture(smooth.path, expected.data(), smooth.width, smooth.height, smooth.options), S_OK);
    EXPECT_EQ(frame, expected);
    EXPECT_FALSE(ahead.Take(smooth, frame.data(), result)) << "a frame is handed over once";
}

TEST(PictureReadAheadTest, AFailedReadIsHandedOverWithItsResultAndTheNextJobReplacesAnUntakenOne)
{
    PictureReadAhead ahead;
    const PictureReadAhead::Job broken = JobFor(0, Picture("broken/2.jpg"));
    const PictureReadAhead::Job missing = JobFor(1, Picture("no such picture.jpg"));
    const PictureReadAhead::Job photo = JobFor(2, Picture("tiny/1.jpg"));
    ahead.Start(broken);
    std::vector<BYTE> frame = Frame(broken);
    HRESULT result = S_OK;
    ASSERT_TRUE(ahead.Take(broken, frame.data(), result));
    FrameBuilder builder;
    std::vector<BYTE> untouched = Frame(broken);
    EXPECT_EQ(result, builder.ReadPicture(broken.path, untouched.data(), broken.width, broken.height));
    EXPECT_TRUE(FAILED(result));
    EXPECT_EQ(frame, Frame(broken));

    ahead.Start(missing);
    ahead.Start(photo);
    EXPECT_FALSE(ahead.Take(missing, frame.data(), result));
    ASSERT_TRUE(ahead.Take(photo, frame.data(), result));
    EXPECT_EQ(result, S_OK);
    EXPECT_NE(frame, Frame(photo));
}
