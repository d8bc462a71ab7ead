// Tiles and GUID lists.
#include "HostTestSupport.h"

#include <cmath>
#include <limits>

namespace BRASK::HOST::TEST {
namespace {

using GRAPHICS::ITile;
using GRAPHICS::Rect;

using TileTest = HostTest;
using GuidListTest = HostTest;

Rect<float> MakeRect(float top, float left, float bottom, float right) {
    Rect<float> r;
    r.top = top;
    r.left = left;
    r.bottom = bottom;
    r.right = right;
    return r;
}

TEST_F(TileTest, InitKeepsValidBoundsAndRejectsBadOnes) {
    auto tile = Make<ITile>(CLSID::Tile);
    ASSERT_EQ(tile->Init(MakeRect(0, 0, 80, 100)), kOK);
    EXPECT_EQ(tile->GetBounds().bottom, 80);
    EXPECT_EQ(tile->GetBounds().right, 100);
    EXPECT_EQ(tile->Init(MakeRect(0, 0, 0, 0)), kOK); // empty is allowed

    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    ASSERT_EQ(tile->Init(MakeRect(1, 2, 3, 4)), kOK);
    for (const Rect<float>& bad :
         {MakeRect(nan, 0, 1, 1), MakeRect(0, nan, 1, 1), MakeRect(0, 0, nan, 1), MakeRect(0, 0, 1, nan),
          MakeRect(0, 0, inf, 1), MakeRect(0, -inf, 1, 1), MakeRect(0, 10, 5, 9), MakeRect(10, 0, 9, 5)}) {
        EXPECT_EQ(tile->Init(bad), ITile::kBadBounds);
        EXPECT_EQ(tile->GetBounds().top, 1);
        EXPECT_EQ(tile->GetBounds().left, 2);
        EXPECT_EQ(tile->GetBounds().bottom, 3);
        EXPECT_EQ(tile->GetBounds().right, 4);
    }
}

TEST_F(TileTest, AttachedInterfacesLiveAsLongAsTheTile) {
    const std::int64_t before = ObjectCounter::Live();
    auto tile = Make<ITile>(CLSID::Tile);
    {
        auto dictionary = Make<IDictionary>(CLSID::PersistentDictionary);
        tile->AttachInterface(dictionary.Get(), CLSID::ConnectionSpaceKey);
    }
    EXPECT_NE(FindAttached<IDictionary>(*tile, CLSID::ConnectionSpaceKey), nullptr);
    EXPECT_EQ(*tile->GetIID(), ITile::IID);
    EXPECT_EQ(ObjectCounter::Live(), before + 2);
    tile.Reset();
    EXPECT_EQ(ObjectCounter::Live(), before);
}

TEST_F(GuidListTest, AddCopiesInOrder) {
    auto list = Make<IGuidList>(CLSID::GuidList);
    EXPECT_EQ(list->Add(nullptr), kBadArgument);
    GUID first = CLSID::FirstOfferedIID;
    ASSERT_EQ(list->Add(&first), kOK);
    first.Data1 = 0; // the list has its own copy
    ASSERT_EQ(list->Add(&CLSID::SecondOfferedIID), kOK);
    ASSERT_EQ(list->GetCount(), 2u);
    EXPECT_EQ(list->GetAt(0), CLSID::FirstOfferedIID);
    EXPECT_EQ(list->GetAt(1), CLSID::SecondOfferedIID);
    EXPECT_EQ(list->GetAt(2), GUID{});
}

} // namespace
} // namespace BRASK::HOST::TEST
