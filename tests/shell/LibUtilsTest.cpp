// The SDK convenience functions built into the plug-in: their failures and what they hand back.
#include "../support/HostFixture.h"

#include "LibUtils.h"

using namespace BRASK;
using BRASK::TEST::LogCapture;

namespace {
using LibUtils = BRASK::TEST::HostFixture;
} // namespace

TEST_F(LibUtils, NullFactoryLogsWithEachUnitsSource) {
    LogCapture log;
    TInterfacePtr<IO::IURI> uri;
    EXPECT_EQ(IO::CreateURI(nullptr, uri, BXString("/x")), 12);
    TInterfacePtr<FILE_SYS::IFile> file;
    EXPECT_EQ(FILE_SYS::CreateSystemFile(nullptr, file, BXString("/x")), 12);
    EXPECT_EQ(GRAPHICS::HELPER::GetInterfaceDiscoveryService(nullptr), nullptr);
    TInterfacePtr<GRAPHICS::ITile> tile;
    EXPECT_FALSE(GRAPHICS::HELPER::CreateTile(nullptr, {}, tile));
    EXPECT_FALSE(uri);
    EXPECT_FALSE(file);
    EXPECT_FALSE(tile);

    const auto records = log.Records();
    ASSERT_EQ(records.size(), 4u);
    for (const auto& r : records)
        EXPECT_EQ(r.MessageUTF8(), "Attempted to use a library util without a factory pointer");
    EXPECT_EQ(records[0].file, "SDK/Headers/Core/LibSupport/AbstractIO/LibUtils");
    EXPECT_EQ(records[0].function, "long __cdecl BRASK::IO::CreateURI(class BRASK::IClassFactory *,class "
                                   "BRASK::TInterfacePtr<class BRASK::IO::IURI> &,const class "
                                   "BRASK::STRING::CoreString &)");
    EXPECT_EQ(records[1].file, "SDK/Headers/Core/LibSupport/FileIO/LibUtils");
    EXPECT_EQ(records[2].file, "SDK/Headers/Core/Graphics/PlugInHelper");
    EXPECT_EQ(records[3].function, "unsigned char __cdecl BRASK::GRAPHICS::HELPER::CreateTile(class "
                                   "BRASK::IClassFactory *,const class BRASK::GEOMETRY::Rect<float> &,class "
                                   "BRASK::TInterfacePtr<class BRASK::GRAPHICS::ITile> &)");
}

TEST_F(LibUtils, CreateURIReplacesAndReleasesTheOldURI) {
    TInterfacePtr<IO::IURI> uri;
    ASSERT_EQ(IO::CreateURI(mHost.Get(), uri, BXString("/a/first.eps")), kOK);
    TInterfacePtr<IO::IURI> old = uri;
    ASSERT_EQ(IO::CreateURI(mHost.Get(), uri, BXString("/a/second.eps")), kOK);
    EXPECT_NE(uri.Get(), old.Get());
    EXPECT_EQ(uri->GetPath(), BXString("/a/second.eps")); // the old one released: the fixture counts
}

TEST_F(LibUtils, DataProviderModes) {
    const std::string path = WriteFile("data.bin", "hello");
    TInterfacePtr<IO::IURI> uri;
    ASSERT_EQ(IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8(path)), kOK);

    TInterfacePtr<IO::IDataProvider> provider;
    ASSERT_EQ(IO::CreateUriDataProvider(mHost.Get(), provider, *uri, IO::kReadOnlyMode, nullptr), kOK);
    EXPECT_EQ(provider->GetSize(), 5);

    LogCapture log;
    TInterfacePtr<IO::IDataProvider> other;
    EXPECT_EQ(IO::CreateUriDataProvider(mHost.Get(), other, *uri, 1, nullptr), 12);
    EXPECT_FALSE(other);
    ASSERT_EQ(log.Records().size(), 1u);
    EXPECT_EQ(log.Records()[0].MessageUTF8(),
              "ReadWrite mode failed to create an IDataProviderStream instance.");
    EXPECT_EQ(log.Records()[0].function,
              "long __cdecl BRASK::IO::CreateUriDataProvider(class BRASK::IClassFactory *,class "
              "BRASK::TInterfacePtr<class BRASK::IO::IDataProvider> &,class BRASK::IO::IURI &,long,class "
              "BRASK::IO::IReporter *)");

    log.Clear();
    TInterfacePtr<IO::IURI> missing;
    IO::CreateURI(mHost.Get(), missing, CoreString::FromUTF8((mTemp.Path() / "absent").string()));
    EXPECT_NE(IO::CreateUriDataProvider(mHost.Get(), other, *missing, IO::kReadOnlyMode, nullptr), kOK);
    EXPECT_EQ(log.WithMessage("Read only mode failed to create an IDataProviderStream instance.").size(), 1u);

    // Read-write on a new path creates the file.
    ASSERT_EQ(IO::CreateUriDataProvider(mHost.Get(), other, *missing, IO::kReadWriteMode, nullptr), kOK);
    EXPECT_EQ(other->Write("abc", 3), kOK);
}

TEST_F(LibUtils, TileInitFailureIsLoggedAndTheTileDropped) {
    TInterfacePtr<GRAPHICS::ITile> tile;
    EXPECT_TRUE(GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 20, 30}, tile));
    EXPECT_EQ(tile->GetBounds().right, 30.f);
    LogCapture log;
    EXPECT_FALSE(GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, -5, 30}, tile));
    EXPECT_FALSE(tile);
    ASSERT_EQ(log.Records().size(), 1u);
    EXPECT_EQ(log.Records()[0].MessageUTF8().rfind("tile->Init failed. Error = ", 0), 0u);
}
