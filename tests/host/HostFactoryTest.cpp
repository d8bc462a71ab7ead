// The host's class factory, its default folders, its publication as the core registry, tiles and GUID lists.
#include "HostTestSupport.h"

#include <limits>
#include <new>

namespace BRASK::HOST::TEST {
namespace {

using HostFactoryTest = HostTest;

TEST_F(HostFactoryTest, GraphicsEnvironmentIsSharedAndItsServiceOutlivesTheCallersReference) {
    auto first = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
    auto second = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
    EXPECT_EQ(first.Get(), second.Get());
    auto* service = FindAttached<GRAPHICS::IInterfaceDiscoveryService>(*first, CLSID::DiscoveryServiceKey);
    ASSERT_NE(service, nullptr);
    first.Reset();
    second.Reset();
    EXPECT_EQ(*service->GetIID(), GRAPHICS::IInterfaceDiscoveryService::IID);
}

TEST_F(HostFactoryTest, UnknownOrFailingClassesLeaveTheOutputNullAndThrowNothing) {
    const GUID extra = MakeGuid(0x12345678, 0x1234, 0x1234, 0x1234, 0x123456789ABC);
    for (const GUID& unknown : {CLSID::EPSCompositeGraphic, CLSID::SecondOfferedClass, extra}) {
        IObject* out = reinterpret_cast<IObject*>(0x1);
        EXPECT_NE(mHost->CreateInstance(unknown, &out), kOK) << unknown.ToString();
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(mHost->CreateInstance(CLSID::URI, nullptr), kBadArgument);
    TInterfacePtr<IO::IURI> uri; // an object of another interface is released, not leaked
    EXPECT_EQ(BRASK::CreateInstance(mHost.Get(), CLSID::PersistentDictionary, uri), kOutOfMemory);
    EXPECT_FALSE(uri);

    mHost->RegisterClass(extra, []() -> IObject* { return Host::Create().Detach(); });
    EXPECT_EQ(*Make<IObject>(extra)->GetIID(), IClassFactory::IID);
    mHost->RegisterClass(extra, []() -> IObject* { throw std::bad_alloc(); });
    IObject* out = reinterpret_cast<IObject*>(0x1);
    EXPECT_EQ(mHost->CreateInstance(extra, &out), kOutOfMemory);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostFactoryTest, PublishingSetsAndClearsTheCoreRegistryAndNeverLeavesItDangling) {
    ASSERT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
    mHost->PublishAsCoreRegistry();
    auto other = Host::Create(HostOptions{BRASK_APP_DIR, mTempDir});
    other->UnpublishCoreRegistry(); // not the published one: no effect
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), mHost.Get());
    mHost->UnpublishCoreRegistry();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
    other->PublishAsCoreRegistry();
    other.Reset();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
}

TEST_F(HostFactoryTest, TileInitRejectsBadBoundsAndKeepsTheOldOnes) {
    auto tile = Make<GRAPHICS::ITile>(CLSID::Tile);
    EXPECT_EQ(tile->Init({0, 0, 0, 0}), kOK); // empty is allowed
    ASSERT_EQ(tile->Init({1, 2, 3, 4}), kOK);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const GRAPHICS::Rect<float> bads[] = {{nan, 0, 1, 1}, {0, nan, 1, 1},  {0, 0, nan, 1}, {0, 0, 1, nan},
                                          {0, 0, inf, 1}, {0, -inf, 1, 1}, {0, 10, 5, 9},  {10, 0, 9, 5}};
    for (const GRAPHICS::Rect<float>& bad : bads) {
        EXPECT_EQ(tile->Init(bad), GRAPHICS::ITile::kBadBounds);
        const GRAPHICS::Rect<float> kept = tile->GetBounds();
        EXPECT_TRUE(kept.top == 1 && kept.left == 2 && kept.bottom == 3 && kept.right == 4);
    }
}

TEST_F(HostFactoryTest, GuidListKeepsItsOwnCopies) {
    auto list = Make<IGuidList>(CLSID::GuidList);
    EXPECT_EQ(list->Add(nullptr), kBadArgument);
    GUID id = CLSID::FirstOfferedIID;
    ASSERT_EQ(list->Add(&id), kOK);
    id.Data1 = 0;
    EXPECT_TRUE(list->GetCount() == 1u && list->GetAt(0) == CLSID::FirstOfferedIID &&
                list->GetAt(1) == GUID{});
}

} // namespace
} // namespace BRASK::HOST::TEST
