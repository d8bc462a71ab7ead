#include "RipFixture.h"

#include "GraphicProcessor.h"
#include "JawsEntryPoints.h"
#include "LibUtils.h"
#include "brask/FilterKeys.h"

#include <cstring>
#include <tuple>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::LogCapture;
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
    EXPECT_FLOAT_EQ(processor->Width(), 200);
    EXPECT_FLOAT_EQ(processor->Height(), 100);
    EXPECT_EQ(processor->GetClippingPath(), nullptr);
    processor->SetOutputResolution(144);
    EXPECT_FLOAT_EQ(processor->Width(), 400);
    EXPECT_FLOAT_EQ(processor->Height(), 200);

    // An embedded image of 300 pixels on a 100-point box: 216 ppi, which the output resolution cannot change.
    auto image = MemorySource(EPS("0 0 100 50", "%ImageData: 300 150 8 3 0 300 1 \"beginimage\"\n"));
    auto withImage = EPSProcessor(image.Get(), nullptr, true);
    ASSERT_EQ(withImage->Init(), kOK);
    withImage->SetOutputResolution(144);
    EXPECT_FLOAT_EQ(withImage->Width(), 300);
    EXPECT_FLOAT_EQ(withImage->Height(), 150);
}

TEST_F(Processors, InitFailuresAreLoggedWithTheirCodes) {
    LogCapture log;
    auto empty = MemorySource("");
    auto processor = EPSProcessor(empty.Get(), nullptr, true);
    EXPECT_EQ(processor->Init(), 18);
    EXPECT_EQ(log.WithMessage("mFileReader->Init failed with dscerr = 1").size(), 1u);
    EXPECT_EQ(processor->Init(), 18);
    const auto again = log.WithMessage("Already initialized.");
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].file, "core/Plugins/EPSLoader/Source/src/Common/GraphicProcessor");
    EXPECT_EQ(again[0].function, "long __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Init(void)");

    log.Clear();
    auto flat = MemorySource(EPS("10 10 10 20"));
    auto zeroWidth = EPSProcessor(flat.Get(), nullptr, true);
    ASSERT_EQ(zeroWidth->Init(), kOK);
    EXPECT_EQ(zeroWidth->Width(), 0.0f);
    ASSERT_EQ(log.Records().size(), 1u);
    EXPECT_EQ(log.Records()[0].MessageUTF8(), "Illegal Width of 0");
    EXPECT_EQ(log.Records()[0].function,
              "float __cdecl BRASK::PLUGIN::EPSGraphicProcessor::Width(void) const");
}

TEST_F(Processors, InterpreterPathHandsThePostScriptSectionToTheDistiller) {
    const std::string eps = EPS("10 20 110 70");
    auto provider = MemorySource(eps);
    auto processor = EPSProcessor(provider.Get(), nullptr, false);
    ASSERT_EQ(processor->Init(), kOK);
    EXPECT_EQ(processor->CreatePDF(), kOK);
    ASSERT_NE(processor->GetJawsRip(), nullptr);
    // This job's provider (so the distiller ran for it) and section; the output path is seen by the placement
    // tests, which read what the distiller wrote there.
    EXPECT_EQ(Jaws<void* (*)()>("fake_distill_provider")(), static_cast<void*>(provider.Get()));
    EXPECT_EQ(Jaws<std::int32_t (*)()>("fake_distill_bytes")(), static_cast<std::int32_t>(eps.size()));
    RipDistillParams params;
    std::memcpy(&params, Jaws<const unsigned char* (*)()>("fake_distill_params")(), sizeof params);
    EXPECT_EQ(std::tie(params.left, params.bottom, params.width, params.height, params.flags),
              std::make_tuple(10 << 16, 20 << 16, 100 << 16, 50 << 16, 3u));
    // (A distiller that refuses the job fails the placement: see the graphic tests.)
}

TEST_F(Processors, ColourSpacesMapToHostCodesOnceAndAreKept) {
    auto provider = MemorySource(EPS("0 0 10 10"));
    auto processor = EPSProcessor(provider.Get(), nullptr, false);
    ASSERT_EQ(processor->Init(), kOK);
    ASSERT_TRUE(LoadJawsLibrary(JawsLibraryLoaded(), mHost.Get()));
    const int spaces[] = {0, 1, 2, 3, 6, 7, 8, 9, 10, 11, 4, 5};
    Jaws<void (*)(const int*, int)>("fake_set_colorspaces")(spaces, 12);
    LogCapture log;
    processor->CreatePDF(); // takes the list while it holds the library's lock
    JawsRip* rip = processor->GetJawsRip();
    ASSERT_EQ(rip->GetColorSpaceCount(), 12);
    const std::uint8_t* list = rip->GetColorSpaceList();
    using namespace COLORSPACE;
    const std::uint8_t expected[] = {kCMYK,       kRGB,        kSeparation, kGray,       kLab,     kICCBased,
                                     kSeparation, kSeparation, kSeparation, kSeparation, kUnknown, kUnknown};
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(0, std::memcmp(list, expected, sizeof expected));
    EXPECT_EQ(log.WithMessage("Unknown/Unhandled color space").size(), 2u);

    // Another job's colour spaces in the interpreter change neither the count nor the list of this one.
    const int fewer[] = {3};
    Jaws<void (*)(const int*, int)>("fake_set_colorspaces")(fewer, 1);
    EXPECT_EQ(rip->GetColorSpaceList(), list);
    EXPECT_EQ(rip->GetColorSpaceCount(), 12);
    Jaws<void (*)(const int*, int)>("fake_set_colorspaces")(nullptr, 0);
}

TEST_F(Processors, ConverterPathConvertsTheFileBehindTheURI) {
    auto uri = URI("/pictures/drawing.eps");
    auto provider = MemorySource(EPS("0 0 10 10"));
    auto processor = EPSProcessor(provider.Get(), uri.Get(), true);
    ASSERT_EQ(processor->Init(), kOK);
    EXPECT_EQ(processor->CreatePDF(), kOK);
    EXPECT_EQ(processor->GetJawsRip(), nullptr);
    EXPECT_STREQ(Callas<const char* (*)()>("fake_source")(), "/pictures/drawing.eps");
    EXPECT_EQ(Callas<int (*)()>("fake_is_eps")(), 1);

    auto svgURI = URI("/pictures/icon.svg");
    auto svg = New<PDFOutputSVGGraphicProcessor>(mHost.Get(), svgURI.Get(), BXString("/out/icon.pdf"), false);
    EXPECT_EQ(svg->Init(), kOK);
    EXPECT_EQ(svg->CreatePDF(), kOK);
    EXPECT_STREQ(Callas<const char* (*)()>("fake_source")(), "/pictures/icon.svg");
    EXPECT_STREQ(Callas<const char* (*)()>("fake_output")(), "/out/icon.pdf");
    EXPECT_EQ(Callas<int (*)()>("fake_is_eps")(), 0);
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
            LogCapture log;
            const Status status = rip.CreatePDFGraphics("/nowhere/x.pdf");
            const bool logged =
                log.WithMessage("BPDFStartDistillUsingDataProvider threw an exception.").size() == 1;
            std::_Exit(status == 7 && logged ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
