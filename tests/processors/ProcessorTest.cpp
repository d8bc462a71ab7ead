#include "RipFixture.h"

#include "GraphicProcessor.h"
#include "JawsEntryPoints.h"
#include "LibUtils.h"
#include "brask/FilterKeys.h"

#include <tuple>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::New;

namespace {

const std::string kCombined = std::string(BRASK_FAKES_DIR) + "/combined";

std::string EPS(const std::string& box, const std::string& extra = "") {
    return "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: " + box + "\n" + extra +
           "%%EndComments\n0 0 moveto 10 10 lineto stroke\nshowpage\n%%EOF\n";
}

class Processors : public BRASK::TEST::RipFixture {
protected:
    void SetUp() override {
        RipFixture::SetUp();
        UseApplicationFolder("combined");
    }
    TInterfacePtr<IO::IURI> URI(const std::string& path) {
        TInterfacePtr<IO::IURI> uri;
        IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8(path));
        return uri;
    }
    TInterfacePtr<PDFOutputEPSGraphicProcessor> EPSProcessor(IO::IDataProvider* provider, IO::IURI* uri,
                                                             bool useCallas) {
        return New<PDFOutputEPSGraphicProcessor>(mHost.Get(), provider, uri,
                                                 CoreString::FromUTF8((mTemp.Path() / "out.pdf").string()),
                                                 useCallas, true);
    }
    template <class F> static F Jaws(const char* name) {
        return FakeSymbol<F>(kCombined + "/libBraskPDF.so", name);
    }
    template <class F> static F Callas(const char* name) {
        return FakeSymbol<F>(kCombined + "/PDFToolBox/libCallasWrapper.so", name);
    }
};

} // namespace

TEST_F(Processors, SizeInDeviceUnitsFollowsTheResolution) {
    auto provider = MemorySource(EPS("0 0 200 100"));
    auto processor = EPSProcessor(provider.Get(), nullptr, true);
    ASSERT_EQ(processor->Init(), kOK);
    EXPECT_EQ(std::make_pair(processor->Width(), processor->Height()), std::make_pair(200.f, 100.f));
    EXPECT_EQ(processor->GetClippingPath(), nullptr);
    processor->SetOutputResolution(144);
    EXPECT_EQ(std::make_pair(processor->Width(), processor->Height()), std::make_pair(400.f, 200.f));

    // An embedded image of 300 pixels on a 100-point box: 216 ppi, which the output resolution cannot change.
    auto image = MemorySource(EPS("0 0 100 50", "%ImageData: 300 150 8 3 0 300 1 \"beginimage\"\n"));
    auto withImage = EPSProcessor(image.Get(), nullptr, true);
    ASSERT_EQ(withImage->Init(), kOK);
    withImage->SetOutputResolution(144);
    EXPECT_EQ(std::make_pair(withImage->Width(), withImage->Height()), std::make_pair(300.f, 150.f));
}

TEST_F(Processors, InitFailuresAreLoggedWithTheirCodes) {
    auto empty = MemorySource("");
    auto processor = EPSProcessor(empty.Get(), nullptr, true);
    EXPECT_EQ(processor->Init(), 18);
    EXPECT_EQ(processor->Init(), 18);
    auto flat = MemorySource(EPS("10 10 10 20"));
    auto zeroWidth = EPSProcessor(flat.Get(), nullptr, true);
    ASSERT_EQ(zeroWidth->Init(), kOK);
    EXPECT_EQ(zeroWidth->Width(), 0.0f);
    EXPECT_EQ(mLog.Messages(),
              (std::vector<std::string>{"Data provider holds 0 bytes which means there are no comments",
                                        "SetUpFileParsing failed", "mFileReader->Init failed with dscerr = 1",
                                        "Already initialized.", "Illegal Width of 0"}));
    const auto records = mLog.Records();
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(std::tie(records[3].file, records[3].function, records[4].function),
              std::make_tuple("core/Plugins/EPSLoader/Source/src/Common/GraphicProcessor",
                              "long __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Init(void)",
                              "float __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Width(void) const"));
}

TEST_F(Processors, ColourSpacesMapToHostCodesOnceAndAreKept) {
    auto provider = MemorySource(EPS("0 0 10 10"));
    auto processor = EPSProcessor(provider.Get(), nullptr, false);
    ASSERT_EQ(processor->Init(), kOK);
    ASSERT_TRUE(LoadJawsLibrary(JawsLibraryLoaded(), mHost.Get()));
    const int spaces[] = {0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 4, 5};
    Jaws<void (*)(const int*, int)>("fake_set_colorspaces")(spaces, 12);
    processor->CreatePDF(); // takes the list while it holds the library's lock
    JawsRip* rip = processor->GetJawsRip();
    const std::uint8_t* list = rip->GetColorSpaceList();
    using namespace COLORSPACE;
    EXPECT_EQ(std::vector<std::uint8_t>(list, list + rip->GetColorSpaceCount()),
              (std::vector<std::uint8_t>{kCMYK, kRGB, kSeparation, kGray, kLab, kICCBased, kSeparation,
                                         kSeparation, kSeparation, kSeparation, kUnknown, kUnknown}));
    EXPECT_EQ(Logged("Unknown/Unhandled color space"), 2u);

    // Another job's colour spaces in the interpreter change neither the count nor the list of this one.
    const int fewer[] = {3};
    Jaws<void (*)(const int*, int)>("fake_set_colorspaces")(fewer, 1);
    EXPECT_EQ(std::make_pair(rip->GetColorSpaceList(), rip->GetColorSpaceCount()), std::make_pair(list, 12));
    Jaws<void (*)(const int*, int)>("fake_set_colorspaces")(nullptr, 0);
}

// (The EPS processor's file, output and EPS flag reach the converter: the rip tests and the placements.)
TEST_F(Processors, SVGProcessorConvertsTheFileBehindTheURI) {
    const auto converted = [] {
        return std::make_tuple(std::string(Callas<const char* (*)()>("fake_source")()),
                               std::string(Callas<const char* (*)()>("fake_output")()),
                               Callas<int (*)()>("fake_is_eps")());
    };
    auto svgURI = URI("/pictures/icon.svg");
    auto svg = New<PDFOutputSVGGraphicProcessor>(mHost.Get(), svgURI.Get(), BXString("/out/icon.pdf"), false);
    EXPECT_EQ(svg->Init(), kOK);
    EXPECT_EQ(svg->CreatePDF(), kOK);
    EXPECT_EQ(converted(), std::make_tuple("/pictures/icon.svg", "/out/icon.pdf", 0));
    EXPECT_NE(std::string(Callas<const char* (*)()>("fake_job_text")()).find("[288.00 288.00]"),
              std::string::npos);

    // An SVG without a file is reported, not converted.
    auto noFile = New<PDFOutputSVGGraphicProcessor>(mHost.Get(), nullptr, BXString("/out/x.pdf"), true);
    const int saves = Callas<int (*)()>("fake_save_calls")();
    EXPECT_EQ(noFile->CreatePDF(), 7);
    EXPECT_EQ(Callas<int (*)()>("fake_save_calls")(), saves);
    EXPECT_EQ(Logged("The picture has no file to convert."), 1u);
}

TEST_F(Processors, ThrowingDistillerGivesSeven) {
    // In a child process: the wrapper loaded there throws from its distiller.
    EXPECT_EXIT(
        {
            UseApplicationFolder("jaws-throws");
            JawsLibraryLoaded().store(false); // forget a wrapper the parent process loaded
            auto provider = MemorySource(EPS("0 0 10 10"));
            EPSVectorFileReader reader;
            reader.Init(provider.Get());
            EPSJawsRip rip(mHost.Get(), nullptr, provider.Get(), &reader);
            mLog.Clear();
            const Status status = rip.CreatePDFGraphics("/nowhere/x.pdf");
            std::_Exit(
                status == 7 && Logged("BPDFStartDistillUsingDataProvider threw an exception.") == 1 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
