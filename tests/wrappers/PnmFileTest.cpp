// The raster files the worker reads back from the interpreter's file devices: the devices' own PPM and PAM
// files are read in every raster device test; files that are short, of another kind or of a size no raster
// may have are refused with the reason.
#include "PnmFile.h"

#include "WrapperLibraries.h"

using namespace BRASK::TEST;
using namespace std::string_literals;

using PnmFileTest = WrapperTest;

TEST_F(PnmFileTest, RefusesShortForeignAndOversizedFiles) {
    const std::string size = "the raster file has an unexpected size or depth";
    const struct {
        std::string bytes, error;
    } cases[] = {
        {"P6\n2 2\n255\n\x01\x02\x03"s, "the raster file is shorter than its header says"},
        {""s, "the raster file is empty"},
        {"P5\n1 1\n255\n\x01"s, "the raster file is neither PPM nor PAM"},
        {"P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06"s, size},
        {"P6\n40000 40000\n255\n"s, size},
        {"P6\n0 5\n255\n"s, size},
        {"P6\n-1 5\n255\n"s, "the PPM header cannot be read"},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nENDHDR\n\x01\x02"s, size},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\n"s, "the PAM header cannot be read"},
    };
    BRASK::WRAPPERS::PnmReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(Out("missing"), error));
    EXPECT_EQ(error, "the render left no raster file");
    for (const auto& c : cases) {
        std::vector<char> pixels(12);
        EXPECT_FALSE(reader.Open(WriteFile("f.pnm", c.bytes), error) &&
                     reader.Read(pixels.data(), reader.Remaining(), error))
            << c.bytes;
        EXPECT_EQ(error, c.error) << c.bytes;
    }
}
