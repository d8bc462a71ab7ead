// FixDiv and the answers of the vector file readers.
#include "EpsTestSupport.h"

#include "eps/FixDiv.h"
#include "eps/VectorFileReader.h"

#include <limits>

namespace BRASK::PLUGIN::TEST {

namespace {
constexpr Fixed kMax = std::numeric_limits<Fixed>::max();
constexpr Fixed kMin = std::numeric_limits<Fixed>::min();
} // namespace

TEST(FixDiv, RoundsToNearestWithTheQuotientsSign) {
    EXPECT_EQ(FixDiv(3 << 16, 1 << 16), 3 << 16);
    EXPECT_EQ(FixDiv(1 << 16, 3 << 16), 21845);
    EXPECT_EQ(FixDiv(2 << 16, 3 << 16), 43691);
    EXPECT_EQ(FixDiv(-(2 << 16), 3 << 16), -43691);
    EXPECT_EQ(FixDiv(2 << 16, -(3 << 16)), -43691);
    EXPECT_EQ(FixDiv(-(2 << 16), -(3 << 16)), 43691);
    EXPECT_EQ(FixDiv(300 << 16, 100 << 16) * 72, 216 << 16);
}

TEST(FixDiv, SaturatesWhenTheQuotientDoesNotFit) {
    EXPECT_EQ(FixDiv(kMax, 1), kMax);
    EXPECT_EQ(FixDiv(-kMax, 1), kMin);
    EXPECT_EQ(FixDiv(5, 0), kMax);
    EXPECT_EQ(FixDiv(-5, 0), kMin);
    EXPECT_EQ(FixDiv(0, 0), kMax);
    EXPECT_EQ(FixDiv(1 << 30, 1 << 15), kMax);           // |a| >> 15 equals |b|
    EXPECT_EQ(FixDiv((1 << 30) - 1, 1 << 15), kMax - 1); // just below: computed
    EXPECT_EQ(FixDiv(kMin, 1 << 16), -kMax);             // -0x80000000 counts as -0x7FFFFFFF
    EXPECT_EQ(FixDiv(1 << 16, kMin), FixDiv(1 << 16, -kMax));
}

TEST(VectorFileReader, BaseAnswersAreEmpty) {
    const VectorFileReader base;
    VectorFileReader mutableBase;
    EXPECT_EQ(mutableBase.Init(nullptr), DSCNoError);
    EXPECT_EQ(base.GetFixedWidth(), 0);
    EXPECT_EQ(base.GetFixedHeight(), 0);
    EXPECT_EQ(base.GetWidth(), 0.0f);
    EXPECT_EQ(base.GetHeight(), 0.0f);
    EXPECT_EQ(base.GetPostScriptEnd(), 0);
    EXPECT_EQ(base.GetPostScriptStart(), 0);
    EXPECT_EQ(base.GetLeft() | base.GetRight() | base.GetBottom() | base.GetTop(), 0);
    EXPECT_EQ(base.GetImageResolution(), 0);
    EXPECT_FALSE(base.HasDuotoneInks());
    EXPECT_FALSE(base.HasVectorMaskedImagery());
    EXPECT_EQ(base.GetColorSpace(), 0);
    EXPECT_EQ(base.GetPhotoshopResources(), nullptr);
    EXPECT_EQ(base.GetCustomColorListSize(), 0);
    EXPECT_EQ(base.GetCustomColorList(), nullptr);
    EXPECT_EQ(base.GetICCProfile(), nullptr);
    EXPECT_EQ(base.GetTIFFOffset(), 0u);
    EXPECT_EQ(base.GetTIFFLength(), 0u);
    EXPECT_TRUE(base.HasEPSFHeaderLine());
    EXPECT_EQ(base.GetHeaderLineLength(), 0u);
}

TEST(VectorFileReader, EpsReaderBeforeInitAnswersLikeTheBase) {
    const EPSVectorFileReader reader;
    EXPECT_EQ(reader.GetFixedWidth(), 0);
    EXPECT_EQ(reader.GetColorSpace(), 0);
    EXPECT_EQ(reader.GetFlags(), 0u);
    EXPECT_EQ(reader.GetEPSInfo(), nullptr);
    EXPECT_TRUE(reader.HasEPSFHeaderLine());
}

using EPSVectorReader = EpsTest;

TEST_F(EPSVectorReader, AnswersFromTheRecordThroughTheBaseInterface) {
    const ScannedEPS eps =
        ScanText("%!PS-Adobe-3.0\r%%BoundingBox: 10 20 110 70\r%%HiResBoundingBox: 10.5 20 110 "
                 "70.25\r%%EndComments\rnewpath\r");
    const VectorFileReader& reader = *eps.reader;
    EXPECT_EQ(reader.GetLeft(), Pt(10.5));
    EXPECT_EQ(reader.GetBottom(), Pt(20));
    EXPECT_EQ(reader.GetRight(), Pt(110));
    EXPECT_EQ(reader.GetTop(), Pt(70.25));
    EXPECT_EQ(reader.GetFixedWidth(), Pt(99.5));
    EXPECT_EQ(reader.GetFixedHeight(), Pt(50.25));
    EXPECT_FLOAT_EQ(reader.GetWidth(), 99.5f);
    EXPECT_FLOAT_EQ(reader.GetHeight(), 50.25f);
    EXPECT_EQ(reader.GetPostScriptStart(), 0);
    EXPECT_EQ(reader.GetPostScriptEnd(), static_cast<std::int32_t>(eps.provider->GetSize()));
    EXPECT_EQ(reader.GetColorSpace(), 5);
    EXPECT_EQ(reader.GetTIFFOffset(), 0u);
    EXPECT_EQ(reader.GetTIFFLength(), 0u);
    EXPECT_FALSE(reader.HasEPSFHeaderLine());
    EXPECT_EQ(reader.GetHeaderLineLength(), 14u);
    EXPECT_EQ(reader.GetImageResolution(), 0);
}

} // namespace BRASK::PLUGIN::TEST
