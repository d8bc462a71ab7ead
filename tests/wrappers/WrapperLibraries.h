// Loads the wrapper libraries from the application folder exactly as the plug-in does: dlopen by path, then
// dlsym of every entry point by name. Also the suites' fixture and the capture of what the wrappers log.
#pragma once

#include "../support/Fixture.h"

#include <jaws/CallasApi.h>
#include <jaws/JawsApi.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace BRASK::TEST {

struct JawsTable {
#define JAWS_TABLE_FIELD(ret, name, args) PFN_##name name = nullptr;
    JAWS_ENTRY_POINTS(JAWS_TABLE_FIELD)
#undef JAWS_TABLE_FIELD
};

struct CallasTable {
#define CALLAS_TABLE_FIELD(ret, name, args) PFN_##name name = nullptr;
    CALLAS_ENTRY_POINTS(CALLAS_TABLE_FIELD)
#undef CALLAS_TABLE_FIELD
};

std::string JawsLibraryPath();   // <app>/libBraskPDF.so
std::string CallasLibraryPath(); // <app>/PDFToolBox/libCallasWrapper.so

// The process-wide tables (the libraries stay loaded, as in the plug-in); null when a name is missing.
const JawsTable* Jaws();
const CallasTable* Callas();

// Starts the interpreter once per process with a device path whose %temp% is a per-process folder,
// like the plug-in's "jaws<pid>" folder. Returns the status of the first start.
int32_t StartJaws();
std::string JawsTempFolder();
std::string MakeDevicePath(const std::string& appFolder, const std::string& tempFolder);

// The record the plug-in sends: origin and size in 16.16 points, 288 dpi, byte 34 set, flags 3.
RipDistillParams MakeParams(double left, double bottom, double right, double top);

// Distils the PostScript section of an EPS file through BPDFStartDistillUsingDataProvider.
int32_t DistilEps(const std::string& epsPath, const std::string& pdfPath, double left, double bottom,
                  double right, double top);
// Distils PostScript text (written to a file first) on the box 0 0 w h.
int32_t DistilText(const std::string& postScript, const std::string& pdfPath, double width = 200,
                   double height = 100);
// The converter's SaveAsPDF with no job options unless given; `eps` selects the EPS path.
int32_t SaveAsPdf(const std::string& source, const std::string& pdf, bool eps = true,
                  const char* options = nullptr);

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
inline bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

// Collects what a wrapper logs while it lives: through the interpreter's BSetLogger, or the setter given.
class MessageCapture {
public:
    using Setter = void (*)(void* context, JawsLogCallback logger);
    explicit MessageCapture(Setter setter = nullptr);
    ~MessageCapture() { mSetter(nullptr, nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    std::vector<std::string> Texts(int kind = -1) const; // of that kind (-1: every message), in order
    bool Contains(const std::string& text) const;
    std::string First(const std::string& prefix) const; // the first message starting so; empty when none
    std::string All() const;
    void Clear();

private:
    static void Receive(void* context, int kind, char* message, int length);
    Setter mSetter;
    mutable std::mutex mLock;
    std::vector<std::pair<int, std::string>> mMessages;
};

// A suite's fixture: the shared one (private folder, live-object check) with paths in its folder.
class WrapperTest : public Fixture {
protected:
    std::string Out(const std::string& name) const { return (mTemp.Path() / name).string(); }
};

} // namespace BRASK::TEST

#define BRASK_REQUIRE_JAWS()                                                                                 \
    ASSERT_NE(::BRASK::TEST::Jaws(), nullptr) << "cannot bind " << ::BRASK::TEST::JawsLibraryPath();         \
    ASSERT_EQ(::BRASK::TEST::StartJaws(), kJawsOK)
#define BRASK_REQUIRE_CALLAS()                                                                               \
    ASSERT_NE(::BRASK::TEST::Callas(), nullptr) << "cannot bind " << ::BRASK::TEST::CallasLibraryPath();     \
    ASSERT_EQ(::BRASK::TEST::Callas()->InitCallas(nullptr, nullptr), kCallasOK)
