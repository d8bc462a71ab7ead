// Loads libEPSLoader.so the way a host does and checks its exports and class objects; and the SDK convenience
// functions built into the plug-in: their failures and what they hand back.
#include "../support/Command.h"
#include "../support/HostFixture.h"

#include "LibUtils.h"

#include <dlfcn.h>
#include <stdexcept>

using namespace BRASK;
using BRASK::TEST::LogCapture;

namespace {

const std::string kPluginPath = std::string(BRASK_APP_DIR) + "/libEPSLoader.so";

class LoadedPlugin : public BRASK::TEST::HostFixture {
protected:
    static void SetUpTestSuite() {
        sHandle = dlopen(kPluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(sHandle, nullptr) << dlerror();
        sInit = reinterpret_cast<PluginInitFn>(dlsym(sHandle, "Init"));
        sDeInit = reinterpret_cast<PluginDeInitFn>(dlsym(sHandle, "DeInit"));
        sGetClassObject = reinterpret_cast<PluginGetClassObjectFn>(dlsym(sHandle, "GetClassObject"));
    }
    void SetUp() override {
        ASSERT_TRUE(sInit && sDeInit && sGetClassObject);
        HostFixture::SetUp();
        UseHost("");
        ASSERT_EQ(sInit(nullptr, mHost.Get()), kOK);
    }
    void TearDown() override {
        EXPECT_EQ(sDeInit(), kOK);
        HostFixture::TearDown();
    }

    // The class object of `id`, held; `status` receives GetClassObject's answer.
    TInterfacePtr<IObject> ClassObject(const GUID& id, Status* status = nullptr) {
        IObject* out = nullptr;
        const Status answer = sGetClassObject(&id, nullptr, &out);
        if (status != nullptr)
            *status = answer;
        TInterfacePtr<IObject> held;
        held.Adopt(out);
        return held;
    }

    static inline void* sHandle = nullptr;
    static inline PluginInitFn sInit = nullptr;
    static inline PluginDeInitFn sDeInit = nullptr;
    static inline PluginGetClassObjectFn sGetClassObject = nullptr;
};

using LibUtils = BRASK::TEST::HostFixture;

} // namespace

TEST(PluginExports, ExactlyInitDeInitAndGetClassObject) {
    EXPECT_EQ(BRASK::TEST::Capture("nm -D --defined-only " + kPluginPath + " | awk '{print $NF}'"),
              "DeInit\nGetClassObject\nInit\n");
}

TEST_F(LoadedPlugin, InitWithoutFactoryFailsWithItsMessage) {
    LogCapture log;
    EXPECT_EQ(sInit(nullptr, nullptr), 1);
    // With the slot empty the composite graphic cannot make its dictionary.
    Status status = kOK;
    EXPECT_FALSE(ClassObject(CLSID::EPSCompositeGraphic, &status));
    EXPECT_EQ(status, kOutOfMemory);
    const std::string graphic = "core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG";
    const std::vector<std::vector<std::string>> expected = {
        {graphic, "long __cdecl InitPlugin(const class BRASK::FILE_SYS::IDir *,class BRASK::IClassFactory *)",
         "A valid class factory must be passed to plugins, this is how they get objects from the libs "
         "without "
         "linkage"},
        {"SDK/Headers/Core/LibSupport/AbstractIO/LibUtils",
         "long __cdecl BRASK::IO::CreatePersistentDictionary(class BRASK::IClassFactory *,class "
         "BRASK::TInterfacePtr<class BRASK::IDictionary> &)",
         "Attempted to use a library util without a factory pointer"},
        {graphic, "", "Could not create a dictionary or find one to give back filter information."},
        {graphic,
         "class BRASK::IObject *__cdecl BRASK::COREREGISTRY::CreateICompositeGraphic(class "
         "BRASK::IClassFactory *)",
         "CreateDictionaryWithFilterInfoKeys failed. Error = 12"}};
    std::vector<std::vector<std::string>> records;
    for (const auto& r : log.Records()) {
        EXPECT_TRUE(r.type == 2 && r.level == 1) << r.MessageUTF8();
        records.push_back({r.file, records.size() == 2 ? "" : r.function, r.MessageUTF8()});
    }
    EXPECT_EQ(records, expected);
    ASSERT_EQ(sInit(nullptr, mHost.Get()), kOK);
}

TEST_F(LoadedPlugin, RegistryObjectsAreNewEachTimeAndListTheOfferedIds) {
    auto first = ClassObject(CLSID::PluginClassFactoriesIID),
         second = ClassObject(CLSID::PluginClassFactoriesIID);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.Get(), second.Get());
    EXPECT_EQ(*first->GetIID(), CLSID::PluginClassFactoriesIID); // count 1 each: the fixture counts

    auto* registry = dynamic_cast<COREREGISTRY::IPluginClassFactories*>(first.Get());
    ASSERT_NE(registry, nullptr);
    auto interfaces = Make<IGuidList>(CLSID::GuidList);
    EXPECT_EQ(registry->GetInterfaceIDs(interfaces), kOK);
    ASSERT_EQ(interfaces->GetCount(), 2u);
    EXPECT_EQ(interfaces->GetAt(0), CLSID::FirstOfferedIID);
    EXPECT_EQ(interfaces->GetAt(1), CLSID::SecondOfferedIID);

    auto classes = Make<IGuidList>(CLSID::GuidList);
    EXPECT_EQ(registry->GetClassIDs(CLSID::FirstOfferedIID, classes), kOK);
    EXPECT_EQ(registry->GetClassIDs(CLSID::SecondOfferedIID, classes), kOK);
    ASSERT_EQ(classes->GetCount(), 2u);
    EXPECT_EQ(classes->GetAt(0), CLSID::EPSCompositeGraphic);
    EXPECT_EQ(classes->GetAt(1), CLSID::SecondOfferedClass);
    EXPECT_EQ(registry->GetClassIDs(CLSID::CompositeGraphicIID, classes), 1);
    EXPECT_EQ(registry->GetClassIDs(MakeGuid(1, 2, 3, 4, 5), classes), 1);
    EXPECT_EQ(classes->GetCount(), 2u);
}

TEST_F(LoadedPlugin, CompositeGraphicRefusedAndUnknownIds) {
    const auto graphic = ClassObject(CLSID::EPSCompositeGraphic);
    ASSERT_TRUE(graphic);
    EXPECT_EQ(*graphic->GetIID(), CLSID::CompositeGraphicIID);
    EXPECT_NE(dynamic_cast<GRAPHICS::ICompositeGraphic*>(graphic.Get()), nullptr);
    // Fresh object: its own interface id is not in its table.
    EXPECT_EQ(graphic->GetInterface(CLSID::CompositeGraphicIID, nullptr), kNoInterface);
    EXPECT_EQ(graphic->GetInterface(CLSID::FilterDictionaryKey, nullptr), kOK);

    EXPECT_EQ(sGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, nullptr), 1);
    // A refused id: no object, no record; an unknown one is also printed on standard output.
    const std::pair<GUID, std::string> cases[] = {
        {CLSID::SecondOfferedClass, ""},
        {MakeGuid(0x00000001, 0x0002, 0x0003, 0x0405, 0x060708090A0B),
         "CreateClassFactory: No interface for 0x1-0x2-0x3-4-5-6-7-8-9-10-11\n"},
        {MakeGuid(0xDEADBEEF, 0xFFFF, 0xA0B0, 0xFF80, 0x7F0000000001),
         "CreateClassFactory: No interface for 0xDEADBEEF-0xFFFF-0xA0B0-255-128-127-0-0-0-0-1\n"}};
    LogCapture log;
    for (const auto& [unknown, text] : cases) {
        IObject* out = reinterpret_cast<IObject*>(0x1);
        testing::internal::CaptureStdout();
        EXPECT_EQ(sGetClassObject(&unknown, nullptr, &out), kOutOfMemory);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), text);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_TRUE(log.Records().empty());
}

TEST_F(LoadedPlugin, AnExceptionFromTheHostIsLoggedAndAnsweredWith7) {
    // A class factory and a GUID list whose own code throws into the plug-in.
    class ThrowingFactory : public TObject<IClassFactory> {
    public:
        Status CreateInstance(const GUID&, IObject**) override {
            throw std::runtime_error("factory exploded");
        }
    };
    class ThrowingList : public TObject<IGuidList> {
    public:
        Status Add(const GUID*) override { throw std::length_error("list is full"); }
        std::uint32_t GetCount() const override { return 0; }
        GUID GetAt(std::uint32_t) const override { return {}; }
    };
    auto factory = BRASK::TEST::New<ThrowingFactory>();
    ASSERT_EQ(sInit(nullptr, factory.Get()), kOK);
    LogCapture log;
    IObject* out = reinterpret_cast<IObject*>(0x1);
    EXPECT_EQ(sGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, &out), 7);
    EXPECT_EQ(out, nullptr);
    auto records = log.WithMessage("Unexpected exception: factory exploded");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].function,
              "long __cdecl GetClassObject(const struct _GUID *,void *,class BRASK::IObject * *)");
    ASSERT_EQ(sInit(nullptr, mHost.Get()), kOK);

    const auto held = ClassObject(CLSID::PluginClassFactoriesIID);
    auto* registry = dynamic_cast<COREREGISTRY::IPluginClassFactories*>(held.Get());
    TInterfacePtr<IGuidList> list;
    list.Adopt(new ThrowingList);
    EXPECT_EQ(registry->GetInterfaceIDs(list), 7);
    EXPECT_EQ(registry->GetClassIDs(CLSID::FirstOfferedIID, list), 7);
    EXPECT_EQ(log.WithMessage("Unexpected exception: list is full").size(), 2u);
}

TEST_F(LibUtils, NullFactoryLogsWithEachUnitsSource) {
    LogCapture log;
    TInterfacePtr<IO::IURI> uri;
    EXPECT_EQ(IO::CreateURI(nullptr, uri, BXString("/x")), 12);
    TInterfacePtr<FILE_SYS::IFile> file;
    EXPECT_EQ(FILE_SYS::CreateSystemFile(nullptr, file, BXString("/x")), 12);
    EXPECT_EQ(GRAPHICS::HELPER::GetInterfaceDiscoveryService(nullptr), nullptr);
    TInterfacePtr<GRAPHICS::ITile> tile;
    EXPECT_FALSE(GRAPHICS::HELPER::CreateTile(nullptr, {}, tile));
    EXPECT_FALSE(uri || file || tile);
    std::vector<std::string> logged;
    for (const auto& r : log.Records())
        logged.push_back(r.file + ": " + r.MessageUTF8());
    const std::string message = ": Attempted to use a library util without a factory pointer";
    EXPECT_EQ(logged, (std::vector<std::string>{"SDK/Headers/Core/LibSupport/AbstractIO/LibUtils" + message,
                                                "SDK/Headers/Core/LibSupport/FileIO/LibUtils" + message,
                                                "SDK/Headers/Core/Graphics/PlugInHelper" + message,
                                                "SDK/Headers/Core/Graphics/PlugInHelper" + message}));
    const auto records = log.Records();
    EXPECT_EQ(records[0].function, "long __cdecl BRASK::IO::CreateURI(class BRASK::IClassFactory *,class "
                                   "BRASK::TInterfacePtr<class BRASK::IO::IURI> &,const class "
                                   "BRASK::STRING::CoreString &)");
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
