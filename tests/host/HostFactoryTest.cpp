// The host's class factory and its publication as the core registry.
#include "HostTestSupport.h"

#include <filesystem>
#include <new>

namespace BRASK::HOST::TEST {
namespace {

using HostFactoryTest = HostTest;

struct ClassCase {
    const char* name;
    GUID classId;
    GUID interfaceId;
};

const ClassCase kClasses[] = {
    {"SystemDirContainer", CLSID::SystemDirContainer, FILE_SYS::ISystemDirContainer::IID},
    {"URI", CLSID::URI, IO::IURI::IID},
    {"URIRegistry", CLSID::URIRegistry, IO::IURIRegistry::IID},
    {"PersistentDictionary", CLSID::PersistentDictionary, IDictionary::IID},
    {"Tile", CLSID::Tile, GRAPHICS::ITile::IID},
    {"SystemFile", CLSID::SystemFile, FILE_SYS::IFile::IID},
    {"SystemDir", CLSID::SystemDir, FILE_SYS::IDir::IID},
    {"MemoryDataProvider", CLSID::MemoryDataProvider, IO::IMemoryDataProvider::IID},
    {"PhotoShopResourceParser", CLSID::PhotoShopResourceParser, GRAPHICS::IPhotoShopResourceParser::IID},
    {"GuidList", CLSID::GuidList, IGuidList::IID},
};

TEST_F(HostFactoryTest, EveryClassIdMakesAFreshObjectOfItsInterface) {
    for (const ClassCase& c : kClasses) {
        IObject* first = nullptr;
        IObject* second = nullptr;
        EXPECT_EQ(mHost->CreateInstance(c.classId, &first), kOK) << c.name;
        EXPECT_EQ(mHost->CreateInstance(c.classId, &second), kOK) << c.name;
        ASSERT_NE(first, nullptr) << c.name;
        ASSERT_NE(second, nullptr) << c.name;
        EXPECT_NE(first, second) << c.name;
        EXPECT_EQ(*first->GetIID(), c.interfaceId) << c.name;
        first->Release();
        second->Release();
    }
    // The typed forms the plug-in uses.
    EXPECT_TRUE(Make<IO::IDataProvider>(CLSID::MemoryDataProvider));
    EXPECT_TRUE(Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider));
}

TEST_F(HostFactoryTest, GraphicsEnvironmentIsSharedAndHoldsTheDiscoveryService) {
    auto first = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
    auto second = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
    EXPECT_EQ(first.Get(), second.Get());
    auto* service = FindAttached<GRAPHICS::IInterfaceDiscoveryService>(*first, CLSID::DiscoveryServiceKey);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(*service->GetIID(), GRAPHICS::IInterfaceDiscoveryService::IID);

    // The plug-in's pattern: take the service, release the environment, keep using the service.
    first.Reset();
    second.Reset();
    EXPECT_EQ(*service->GetIID(), GRAPHICS::IInterfaceDiscoveryService::IID);
}

TEST_F(HostFactoryTest, UnknownClassIdsLeaveTheOutputNull) {
    IObject* out = reinterpret_cast<IObject*>(0x1);
    EXPECT_NE(mHost->CreateInstance(CLSID::EPSCompositeGraphic, &out), kOK);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<IObject*>(0x1);
    EXPECT_NE(mHost->CreateInstance(CLSID::SecondOfferedClass, &out), kOK); // a plug-in class
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(mHost->CreateInstance(CLSID::URI, nullptr), kBadArgument);

    TInterfacePtr<IO::IURI> uri;
    EXPECT_EQ(BRASK::CreateInstance(mHost.Get(), CLSID::PersistentDictionary, uri),
              kOutOfMemory); // not a URI
    EXPECT_FALSE(uri);
}

TEST_F(HostFactoryTest, RegisteredClassesAreServedToo) {
    const GUID extra = MakeGuid(0x12345678, 0x1234, 0x1234, 0x1234, 0x123456789ABC);
    IObject* out = nullptr;
    EXPECT_NE(mHost->CreateInstance(extra, &out), kOK);
    mHost->RegisterClass(extra, []() -> IObject* { return Host::Create().Detach(); });
    ASSERT_EQ(mHost->CreateInstance(extra, &out), kOK);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out->GetIID(), IClassFactory::IID);
    out->Release();

    // A creator that throws makes nothing and lets nothing escape.
    mHost->RegisterClass(extra, []() -> IObject* { throw std::bad_alloc(); });
    out = reinterpret_cast<IObject*>(0x1);
    EXPECT_EQ(mHost->CreateInstance(extra, &out), kOutOfMemory);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostFactoryTest, PublishingSetsAndClearsTheCoreRegistry) {
    ASSERT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
    mHost->PublishAsCoreRegistry();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), mHost.Get());

    // Another host's unpublish leaves this one in place.
    auto other = Host::Create(HostOptions{BRASK_APP_DIR, mTempDir});
    other->UnpublishCoreRegistry();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), mHost.Get());

    mHost->UnpublishCoreRegistry();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);

    // A host that dies while published does not leave a dangling registry behind.
    other->PublishAsCoreRegistry();
    other.Reset();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
}

TEST_F(HostFactoryTest, ApplicationFolderDefaultsToTheProgramsFolder) {
    auto host = Host::Create(HostOptions{"", mTempDir});
    EXPECT_EQ(host->ApplicationDir(), std::filesystem::canonical("/proc/self/exe").parent_path().string());
    EXPECT_EQ(host->TemporaryDir(), mTempDir);
}

} // namespace
} // namespace BRASK::HOST::TEST
