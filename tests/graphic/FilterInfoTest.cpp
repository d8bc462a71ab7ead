#include "GraphicFixture.h"

#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"

#include <tuple>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using BRASK::TEST::LogCapture;
using BRASK::TEST::StubConnectionSpace;
using BRASK::TEST::StubPDFGraphic;

namespace {

constexpr char kSource[] = "core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG";

// Exposes the intermediate graphic slot that the conversion paths fill.
class PDFBasedCGProbe : public PDFBasedCG {
public:
    void SetPDFGraphic(GRAPHICS::ICompositeGraphic* graphic) { mPDFGraphic.Reset(graphic); }
};

using FilterInfo = BRASK::TEST::GraphicFixture;

} // namespace

TEST_F(FilterInfo, NewGraphicCarriesExactlyTheFormatKeys) {
    auto graphic = NewGraphic();
    ASSERT_TRUE(graphic);
    auto* dictionary = FindAttached<IDictionary>(*graphic, CLSID::FilterDictionaryKey);
    ASSERT_NE(dictionary, nullptr);

    std::vector<std::int32_t> keys;
    for (std::uint32_t i = 0; i < dictionary->GetKeyCount(); ++i)
        keys.push_back(dictionary->GetKeyAt(i));
    EXPECT_EQ(keys, (std::vector<std::int32_t>{FILTERKEY::kFormatCodes, FILTERKEY::kFormatNames,
                                               FILTERKEY::kFormatDescription, FILTERKEY::kFilterVersion}));

    EXPECT_EQ(dictionary->GetType(FILTERKEY::kFilterVersion), IDictionary::kUInt8);
    std::uint8_t version = 0;
    EXPECT_EQ(dictionary->GetUInt8(FILTERKEY::kFilterVersion, version), kOK);
    EXPECT_EQ(version, 254);

    const std::vector<std::uint8_t> codes = {3, 0, 0, 0, 'E', 'P', 'S', 'F', 'B', 'S', 'V', 'G'};
    EXPECT_EQ(BRASK::TEST::BytesAt(*dictionary, FILTERKEY::kFormatCodes), codes);
    const std::vector<std::uint8_t> names = {2, 'E', 'P', 'S', 0, 'B', 'S', 'V', 'G', 0};
    EXPECT_EQ(BRASK::TEST::BytesAt(*dictionary, FILTERKEY::kFormatNames), names);

    const char16_t* text = nullptr;
    std::uint32_t units = 0;
    ASSERT_EQ(dictionary->GetWString(FILTERKEY::kFormatDescription, &text, &units), kOK);
    EXPECT_EQ(std::u16string(text, units), std::u16string(u"EPS Format\0", 11));
}

TEST_F(FilterInfo, AdaptTileHandsTheConnectionSpaceToTheOutputTileOnly) {
    auto graphic = NewGraphic();
    TInterfacePtr<GRAPHICS::ITile> input, output;
    ASSERT_TRUE(GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 10, 10}, input));
    ASSERT_TRUE(GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 10, 10}, output));

    {
        LogCapture log;
        EXPECT_EQ(graphic->AdaptTile(nullptr, nullptr), 3);
        ASSERT_EQ(log.Records().size(), 1u);
        EXPECT_EQ(log.Records()[0].MessageUTF8(), "Need either a inputTile or outputTile");
        EXPECT_EQ(log.Records()[0].file, kSource);
    }
    // Before Init there is no connection space: nothing is attached.
    EXPECT_EQ(graphic->AdaptTile(nullptr, output.Get()), kOK);
    EXPECT_TRUE(output->GetInterfaceTable()->empty());

    TInterfacePtr<GRAPHICS::IConnectionSpace> space;
    space.Adopt(new StubConnectionSpace);
    graphic->AttachInterface(space.Get(), CLSID::ConnectionSpaceKey);
    EXPECT_EQ(graphic->AdaptTile(input.Get(), nullptr), kOK);
    EXPECT_TRUE(input->GetInterfaceTable()->empty());
    EXPECT_EQ(graphic->AdaptTile(input.Get(), output.Get()), kOK);
    EXPECT_TRUE(input->GetInterfaceTable()->empty());
    EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*output, CLSID::ConnectionSpaceKey), space.Get());
}

TEST_F(FilterInfo, FindInterfaceWalksTheAdaptorChain) {
    auto first = NewGraphic(), second = NewGraphic(), third = NewGraphic();
    first->SetTileAdaptor(second.Get());
    second->SetTileAdaptor(third.Get());

    const GUID onlyInThird = MakeGuid(0x12345678, 1, 2, 3, 4);
    TInterfacePtr<GRAPHICS::IConnectionSpace> value;
    value.Adopt(new StubConnectionSpace);
    third->AttachInterface(value.Get(), onlyInThird);

    IObject* owner = nullptr;
    IObject* out = nullptr;
    EXPECT_EQ(first->FindInterface(onlyInThird, &owner, &out), kOK);
    EXPECT_EQ(out, value.Get());
    EXPECT_EQ(owner, static_cast<IObject*>(third.Get()));

    // Starting from the owner's next adaptor finds nothing beyond the end of the chain.
    out = value.Get();
    EXPECT_EQ(first->FindInterfaceInTile(onlyInThird, &owner, &out), kNoInterface);
    EXPECT_EQ(out, nullptr);
    // Owner set to the first adaptor: the search starts at the second and still reaches the third.
    owner = first.Get();
    EXPECT_EQ(first->FindInterfaceInTile(onlyInThird, &owner, &out), kOK);
    EXPECT_EQ(out, value.Get());

    const GUID nowhere = MakeGuid(0x87654321, 1, 2, 3, 4);
    out = value.Get();
    owner = nullptr;
    EXPECT_EQ(first->FindInterface(nowhere, &owner, &out), kNoInterface);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(owner, nullptr);

    // An identity object makes the adaptor answer for that interface itself.
    TInterfacePtr<GRAPHICS::IConnectionSpace> identity;
    identity.Adopt(new StubConnectionSpace);
    second->AttachInterface(identity.Get(), CLSID::AdaptorIdentityKey);
    EXPECT_EQ(first->FindInterface(GRAPHICS::IConnectionSpace::IID, &owner, &out), kOK);
    EXPECT_EQ(out, static_cast<IObject*>(second.Get()));
    EXPECT_EQ(owner, static_cast<IObject*>(second.Get()));

    // Replacing the next adaptor (the old one is released: the fixture counts the live objects).
    first->SetTileAdaptor(third.Get());
    GRAPHICS::ITileAdaptor* next = nullptr;
    first->GetTileAdaptor(&next);
    EXPECT_EQ(next, static_cast<GRAPHICS::ITileAdaptor*>(third.Get()));
}

TEST_F(FilterInfo, ConnectionSpaceComesThroughATileOfTheGraphicsSize) {
    auto graphic = BRASK::TEST::New<PDFBasedCGProbe>();
    ASSERT_EQ(graphic->CreateDictionaryWithFilterInfoKeys(mHost.Get()), kOK);

    GRAPHICS::IConnectionSpace* space = nullptr;
    {
        LogCapture log;
        EXPECT_FALSE(graphic->GetConnectionSpaceForInputGraphic(*mHost, space));
        ASSERT_EQ(log.Records().size(), 1u);
        EXPECT_EQ(log.Records()[0].MessageUTF8(),
                  "Composite graphics is not initialized for excel graphics item.");
    }

    TInterfacePtr<StubPDFGraphic> pdf;
    pdf.Adopt(new StubPDFGraphic(mHost.Get(), 612.4f, 792.6f, true));
    graphic->SetPDFGraphic(pdf.Get());
    ASSERT_TRUE(graphic->GetConnectionSpaceForInputGraphic(*mHost, space));
    EXPECT_EQ(space, pdf->mSpace.Get());
    EXPECT_EQ(pdf->adaptCalls, 1);
    // Fields in order: 0, 0, the height, the width (integers read from the float keys).
    const auto& b = pdf->lastBounds;
    EXPECT_EQ(std::tie(b.top, b.left, b.bottom, b.right), std::make_tuple(0.f, 0.f, 793.f, 612.f));

    // Already given: true at once, no new tile.
    EXPECT_TRUE(graphic->GetConnectionSpaceForInputGraphic(*mHost, space));
    EXPECT_EQ(pdf->adaptCalls, 1);

    GRAPHICS::IConnectionSpace* fresh = nullptr;
    pdf->adaptStatus = 9;
    {
        LogCapture log;
        EXPECT_FALSE(graphic->GetConnectionSpaceForInputGraphic(*mHost, fresh));
        ASSERT_EQ(log.Records().size(), 1u);
        EXPECT_EQ(log.Records()[0].MessageUTF8(), "AdaptTile Failed.");
    }

    // A PDF graphic without its dictionary: reported, no space.
    auto bare = BRASK::TEST::New<PDFBasedCGProbe>();
    pdf.Adopt(new StubPDFGraphic(mHost.Get(), 0, 0, false));
    bare->SetPDFGraphic(pdf.Get());
    mLog.Clear();
    EXPECT_FALSE(bare->GetConnectionSpaceForInputGraphic(*mHost, fresh));
    EXPECT_EQ(Logged("ICG missing a dictionary."), 1u);
    graphic->SetPDFGraphic(nullptr);
    bare->SetPDFGraphic(nullptr);
}
