// Loads libEPSLoader.so the way a host does and checks its exports and class objects.
#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "brask/ClassIds.h"
#include "brask/Graphics.h"
#include "brask/ObjectCounter.h"
#include "brask/Plugin.h"
#include "brask_host/Host.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <dlfcn.h>
#include <memory>
#include <set>
#include <stdexcept>

using namespace BRASK;
using BRASK::TEST::LogCapture;

namespace {

const std::string kPluginPath = std::string(BRASK_APP_DIR) + "/libEPSLoader.so";

class LoadedPlugin : public ::testing::Test {
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
        mLive = ObjectCounter::Live();
        HOST::HostOptions options;
        options.temporaryDir = mTemp.Path().string();
        mHost = HOST::Host::Create(options);
        mHost->PublishAsCoreRegistry();
        ASSERT_EQ(sInit(nullptr, mHost.Get()), kOK);
    }
    void TearDown() override {
        EXPECT_EQ(sDeInit(), kOK);
        mHost->UnpublishCoreRegistry();
        mHost.Reset();
        EXPECT_EQ(ObjectCounter::Live(), mLive) << "objects leaked";
    }

    TInterfacePtr<IGuidList> NewList() {
        TInterfacePtr<IGuidList> list;
        EXPECT_EQ(CreateInstance(mHost.Get(), CLSID::GuidList, list), kOK);
        return list;
    }

    static inline void* sHandle = nullptr;
    static inline PluginInitFn sInit = nullptr;
    static inline PluginDeInitFn sDeInit = nullptr;
    static inline PluginGetClassObjectFn sGetClassObject = nullptr;
    TEST::TempDir mTemp;
    TInterfacePtr<HOST::Host> mHost;
    std::int64_t mLive = 0;
};

std::set<std::string> ExportedSymbols(const std::string& library) {
    std::set<std::string> names;
    const std::string command = "nm -D --defined-only " + library;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 512> line{};
    while (pipe && fgets(line.data(), line.size(), pipe.get()) != nullptr) {
        std::string text(line.data());
        const auto space = text.rfind(' ');
        std::string name = text.substr(space + 1);
        name.erase(name.find_last_not_of("\n\r") + 1);
        names.insert(name);
    }
    return names;
}

} // namespace

TEST(PluginExports, ExactlyInitDeInitAndGetClassObject) {
    EXPECT_EQ(ExportedSymbols(kPluginPath), (std::set<std::string>{"DeInit", "GetClassObject", "Init"}));
}

TEST_F(LoadedPlugin, InitWithoutFactoryFailsWithItsMessage) {
    LogCapture log;
    EXPECT_EQ(sInit(nullptr, nullptr), 1);
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].MessageUTF8(),
              "A valid class factory must be passed to plugins, this is how they get "
              "objects from the libs without linkage");
    EXPECT_EQ(records[0].function,
              "long __cdecl InitPlugin(const class BRASK::FILE_SYS::IDir *,class BRASK::IClassFactory *)");
    EXPECT_EQ(records[0].file, "core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG");
    // With the slot empty the composite graphic cannot make its dictionary.
    IObject* out = nullptr;
    EXPECT_EQ(sGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, &out), kOutOfMemory);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(log.WithMessage("CreateDictionaryWithFilterInfoKeys failed. Error = 12").size(), 1u);
    ASSERT_EQ(sInit(nullptr, mHost.Get()), kOK);
}

TEST_F(LoadedPlugin, RegistryObjectsAreNewEachTimeAndListTheOfferedIds) {
    IObject* first = nullptr;
    IObject* second = nullptr;
    ASSERT_EQ(sGetClassObject(&CLSID::PluginClassFactoriesIID, nullptr, &first), kOK);
    ASSERT_EQ(sGetClassObject(&CLSID::PluginClassFactoriesIID, nullptr, &second), kOK);
    EXPECT_NE(first, second);
    EXPECT_EQ(*first->GetIID(), CLSID::PluginClassFactoriesIID);
    // Count 1 each: one Release destroys.
    const auto live = ObjectCounter::Live();
    second->Release();
    EXPECT_EQ(ObjectCounter::Live(), live - 1);

    auto* registry = dynamic_cast<COREREGISTRY::IPluginClassFactories*>(first);
    ASSERT_NE(registry, nullptr);
    auto interfaces = NewList();
    EXPECT_EQ(registry->GetInterfaceIDs(interfaces), kOK);
    ASSERT_EQ(interfaces->GetCount(), 2u);
    EXPECT_EQ(interfaces->GetAt(0), CLSID::FirstOfferedIID);
    EXPECT_EQ(interfaces->GetAt(1), CLSID::SecondOfferedIID);

    auto classes = NewList();
    EXPECT_EQ(registry->GetClassIDs(CLSID::FirstOfferedIID, classes), kOK);
    EXPECT_EQ(registry->GetClassIDs(CLSID::SecondOfferedIID, classes), kOK);
    ASSERT_EQ(classes->GetCount(), 2u);
    EXPECT_EQ(classes->GetAt(0), CLSID::EPSCompositeGraphic);
    EXPECT_EQ(classes->GetAt(1), CLSID::SecondOfferedClass);
    EXPECT_EQ(registry->GetClassIDs(CLSID::CompositeGraphicIID, classes), 1);
    EXPECT_EQ(registry->GetClassIDs(MakeGuid(1, 2, 3, 4, 5), classes), 1);
    EXPECT_EQ(classes->GetCount(), 2u);
    first->Release();
}

TEST_F(LoadedPlugin, CompositeGraphicAndRefusedIds) {
    IObject* out = nullptr;
    ASSERT_EQ(sGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, &out), kOK);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(*out->GetIID(), CLSID::CompositeGraphicIID);
    EXPECT_NE(dynamic_cast<GRAPHICS::ICompositeGraphic*>(out), nullptr);
    // Fresh object: its own interface id is not in its table.
    EXPECT_EQ(out->GetInterface(CLSID::CompositeGraphicIID, nullptr), kNoInterface);
    EXPECT_EQ(out->GetInterface(CLSID::FilterDictionaryKey, nullptr), kOK);
    out->Release();

    out = reinterpret_cast<IObject*>(0x1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(sGetClassObject(&CLSID::SecondOfferedClass, nullptr, &out), kOutOfMemory);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(sGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, nullptr), 1);
}

TEST_F(LoadedPlugin, UnknownIdIsPrintedOnStandardOutput) {
    const GUID unknown = MakeGuid(0x00000001, 0x0002, 0x0003, 0x0405, 0x060708090A0B);
    IObject* out = nullptr;
    LogCapture log;
    testing::internal::CaptureStdout();
    EXPECT_EQ(sGetClassObject(&unknown, nullptr, &out), kOutOfMemory);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "CreateClassFactory: No interface for 0x1-0x2-0x3-4-5-6-7-8-9-10-11\n");
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(log.Records().empty());

    const GUID high = MakeGuid(0xDEADBEEF, 0xFFFF, 0xA0B0, 0xFF80, 0x7F0000000001);
    testing::internal::CaptureStdout();
    sGetClassObject(&high, nullptr, &out);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "CreateClassFactory: No interface for 0xDEADBEEF-0xFFFF-0xA0B0-255-128-127-0-0-0-0-1\n");
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
    TInterfacePtr<ThrowingFactory> factory;
    factory.Adopt(new ThrowingFactory);
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

    ASSERT_EQ(sGetClassObject(&CLSID::PluginClassFactoriesIID, nullptr, &out), kOK);
    auto* registry = dynamic_cast<COREREGISTRY::IPluginClassFactories*>(out);
    TInterfacePtr<IGuidList> list;
    list.Adopt(new ThrowingList);
    EXPECT_EQ(registry->GetInterfaceIDs(list), 7);
    EXPECT_EQ(registry->GetClassIDs(CLSID::FirstOfferedIID, list), 7);
    EXPECT_EQ(log.WithMessage("Unexpected exception: list is full").size(), 2u);
    out->Release();
}
