// Every input that once crashed the decoder (found by the fuzzer), and every fixture, run
// through the fuzz target's body in the ordinary (and the sanitizer) build.
#include "FuzzOne.h"
#include "JpegTestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <string>
#include <vector>

using namespace jpegtest;

namespace {

// The files of a folder and of its sub-folders.
std::vector<std::string> filesIn(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const std::string path = dir + "/" + e->d_name;
            if (e->d_type == DT_DIR) {
                const std::vector<std::string> inner = filesIn(path);
                names.insert(names.end(), inner.begin(), inner.end());
            } else {
                names.push_back(path);
            }
        }
        closedir(d);
    }
    return names;
}

} // namespace

TEST(JpegRegression, CrashInputsAndFixturesDecodeSafely)
{
    std::vector<std::string> files = filesIn(JPEG_REGRESSIONS_DIR);
    const std::vector<std::string> fixtures = filesIn(JPEG_FIXTURES_DIR);
    files.insert(files.end(), fixtures.begin(), fixtures.end());
    ASSERT_FALSE(fixtures.empty());
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        const Bytes data = readFile(f);
        fuzzOne(data.data(), data.size());
        // Every prefix of the small ones, too: cut streams end in codes, not crashes.
        if (data.size() <= 4096)
            for (std::size_t n = 1; n < data.size(); n += 7) fuzzOne(data.data(), n);
    }
}
