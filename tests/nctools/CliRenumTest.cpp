// The compress command on a real program; the golden cases of tests/cli hold the rest.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestSupport.h"

TEST(SkarvCompressAir, RealProgramRoundTripsThroughTheCommand) {
    std::string sample = SharedDir() + "/nc-samples/metric_pipe.ngc";
    std::string bytes = ReadFileBytes(sample);
    if (bytes.empty()) GTEST_SKIP() << "no sample " << sample;
    TempDir dir;
    WriteFileBytes(dir.File("ini"), "[Maskin1]\r\nProtokoll=ISO\r\nBlokkTegn=N:\r\n");
    // Written to a new file: the sample itself is never touched.
    std::string out, err;
    EXPECT_EQ(RunProgram({BinDir() + "/skarv", "--ini", dir.File("ini"), "compress", sample, "-o",
                          dir.File("c")},
                         &out, &err),
              0)
        << err;
    std::string c = ReadFileBytes(dir.File("c"));
    EXPECT_LT(c.size(), bytes.size());
    EXPECT_EQ(ReadFileBytes(sample), bytes);
    // The file has CR LF already: line count is kept.
    auto count = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    EXPECT_EQ(count(c), count(bytes));
}
