// End to end: the plug-in, loaded as a host loads it, places real pictures through the real wrappers.
#include "CorpusFiles.h"
#include "PluginHost.h"

#include "shell/LibUtils.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <thread>

using namespace BRASK;
using BRASK::TEST::LogCapture;
using BRASK::TEST::Placement;
using BRASK::TEST::PluginHost;

namespace {

const std::string kSample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";

// Writes the connection space's PDF to a file for the command-line checkers.

bool QpdfAccepts(const std::string& pdf) {
    return std::system(("qpdf --check '" + pdf + "' >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::uint8_t> Bytes(const IDictionary& dictionary, std::int32_t key) {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    if (dictionary.GetBytes(key, &data, &length) != kOK)
        return {};
    return std::vector<std::uint8_t>(data, data + length);
}

std::string CustomColors(const IDictionary& dictionary) {
    const char16_t* text = nullptr;
    std::uint32_t units = 0;
    if (dictionary.GetWString(28, &text, &units) != kOK)
        return {};
    std::string ascii;
    for (std::uint32_t i = 0; i < units; ++i)
        ascii += text[i] >= 0x20 && text[i] < 0x7F ? static_cast<char>(text[i]) : '|';
    return ascii;
}

// A DOS binary EPS of the corpus whose first line loses its " EPSF-3.0", with a header that still describes
// it, written as `name` into the output folder.
std::string WithoutMarker(const std::string& corpusFile, const std::string& name) {
    std::string bytes = TEST::ReadAll(std::string(BRASK_CORPUS_DIR) + "/" + corpusFile);
    const auto get = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    const auto put = [&](std::size_t at, std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
    };
    const std::uint32_t section = get(4);
    const std::size_t marker = bytes.find(" EPSF-3.0", section);
    EXPECT_LT(marker, section + 40u) << corpusFile;
    bytes.erase(marker, 9);
    put(8, get(8) - 9, 4);
    for (std::size_t field : {12u, 20u}) // previews behind the section move with it
        if (get(field) > section)
            put(field, get(field) - 9, 4);
    std::uint8_t sum = 0;
    for (int i = 0; i < 28; ++i)
        sum ^= static_cast<std::uint8_t>(bytes[static_cast<std::size_t>(i)]);
    put(28, sum, 2);
    const std::string path = (PluginHost::Instance().OutputFolder() / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// The first page rendered in grey at 20 dpi.
std::string Rendered(const std::string& pdf) {
    const std::string root = pdf + "-render";
    std::system(("pdftoppm -r 20 -gray -singlefile '" + pdf + "' '" + root + "'").c_str());
    return TEST::ReadAll(root + ".pgm");
}

class Placing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PluginHost::Instance(); }
};

} // namespace

TEST_F(Placing, SamplePictureOnBothPaths) {
    for (const bool interpreter : {false, true}) {
        SCOPED_TRACE(interpreter ? "interpreter" : "converter");
        Placement placement = PluginHost::Instance().Place(kSample, interpreter);
        ASSERT_EQ(placement.status, kOK);
        ASSERT_NE(placement.connectionSpace, nullptr);
        EXPECT_FLOAT_EQ(placement.Float(14), 300);
        EXPECT_FLOAT_EQ(placement.Float(15), 200);
        EXPECT_FLOAT_EQ(placement.Float(2001), 0);
        EXPECT_FLOAT_EQ(placement.Float(2002), 300);
        EXPECT_FLOAT_EQ(placement.Float(2003), 0);
        EXPECT_FLOAT_EQ(placement.Float(2004), 200);
        EXPECT_NE(CustomColors(*placement.dictionary).find("Sample Orange"), std::string::npos);

        const auto box = placement.connectionSpace->GetPageBox();
        EXPECT_NEAR(box.right - box.left, 300, 0.5);
        EXPECT_NEAR(box.top - box.bottom, 200, 0.5);
        const std::string pdf =
            PluginHost::Instance().SavePDF(placement, interpreter ? "sample-i.pdf" : "sample-c.pdf");
        EXPECT_TRUE(QpdfAccepts(pdf));
        EXPECT_NE(TEST::Capture("pdftotext '" + pdf + "' -").find("Brask EPS sample"), std::string::npos);
        // Every font embedded, the base-14 ones included.
        EXPECT_EQ(TEST::Capture("pdffonts '" + pdf + "' | awk 'NR>2 && $(NF-4)!=\"yes\"'"), "");

        std::uint16_t count = 0;
        placement.dictionary->GetUInt16(26, count);
        const auto spaces = Bytes(*placement.dictionary, 27);
        if (interpreter) {
            // Process CMYK, the spot colour and the RGB disc as the interpreter saw them.
            EXPECT_GE(count, 2);
            EXPECT_EQ(spaces.size(), count);
            EXPECT_NE(std::find(spaces.begin(), spaces.end(), 5), spaces.end());
            EXPECT_NE(std::find(spaces.begin(), spaces.end(), 4), spaces.end());
        }
    }
}

TEST_F(Placing, NothingStaysInTheTemporaryFolder) {
    {
        // A data provider over memory forces the converter path to copy the picture into a temporary file.
        const std::string bytes = TEST::ReadAll(kSample);
        TInterfacePtr<IO::IDataProvider> source;
        IO::CreateReadOnlyDataProvider(&PluginHost::Instance().Host(), source, bytes.data(),
                                       static_cast<std::int32_t>(bytes.size()));
        Placement converted = PluginHost::Instance().PlaceFrom(*source, false);
        Placement distilled = PluginHost::Instance().PlaceFrom(*source, true);
        EXPECT_EQ(converted.status, kOK);
        EXPECT_EQ(distilled.status, kOK);
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(PluginHost::Instance().TemporaryFolder()))
        if (entry.is_regular_file())
            left.push_back(entry.path().filename().string());
    EXPECT_TRUE(left.empty()) << left.front();
}

TEST_F(Placing, IllustratorDOSBinaryFileWithoutMarkerPlacesLikeTheSameBytesNamedEPS) {
    // Previews behind and in front of the PostScript section.
    for (const char* file : {"eps-customcolor/aspose-imaging__Sample.eps",
                             "eps-atend/pillow__1_boundingbox_after_imagedata.eps"}) {
        for (const bool interpreter : {false, true}) {
            SCOPED_TRACE(std::string(file) + (interpreter ? " (interpreter)" : " (converter)"));
            LogCapture log;
            Placement ai = PluginHost::Instance().Place(WithoutMarker(file, "repair.ai"), interpreter);
            Placement eps = PluginHost::Instance().Place(WithoutMarker(file, "repair.eps"), interpreter);
            ASSERT_EQ(ai.status, kOK);
            ASSERT_EQ(eps.status, kOK);
            ASSERT_TRUE(ai.connectionSpace != nullptr && eps.connectionSpace != nullptr);
            for (std::int32_t key : {14, 15, 2001, 2002, 2003, 2004})
                EXPECT_FLOAT_EQ(ai.Float(key), eps.Float(key)) << key;
            const std::string aiRender = Rendered(PluginHost::Instance().SavePDF(ai, "repair-ai.pdf"));
            EXPECT_FALSE(aiRender.empty());
            EXPECT_EQ(aiRender, Rendered(PluginHost::Instance().SavePDF(eps, "repair-eps.pdf")));
        }
    }
}
