// Loads the wrapper libraries from the application folder exactly as the plug-in does: dlopen by path, then
// dlsym of every entry point by name. Also the suites' fixture, the capture of what the wrappers log and a
// look at the PDFs they write.
#pragma once

#include "../support/Command.h"
#include "../support/Fixture.h"
#include "../support/PdfRaster.h"

#include <jaws/CallasApi.h>
#include <jaws/JawsApi.h>

#include <cstdint>
#include <cstring>
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

inline std::string JawsLibraryPath() {
    return std::string(BRASK_APP_DIR) + "/libBraskPDF.so";
}
inline std::string CallasLibraryPath() {
    return std::string(BRASK_APP_DIR) + "/PDFToolBox/libCallasWrapper.so";
}

// The process-wide tables (the libraries stay loaded, as in the plug-in); null when a name is missing.
const JawsTable* Jaws();
const CallasTable* Callas();

// Starts the interpreter once per process with a device path whose %temp% is a per-process folder,
// like the plug-in's "jaws<pid>" folder. Returns the status of the first start.
int32_t StartJaws();
std::string JawsDevicePath();

// The record the plug-in sends: origin and size in 16.16 points, 288 dpi, byte 34 set, flags 3.
RipDistillParams MakeParams(double left, double bottom, double right, double top);

// Distils PostScript text through BPDFStartDistillUsingDataProvider, under the library mutex as the plug-in
// does, on the box from (left, bottom) of `width` x `height` points.
int32_t DistilText(const std::string& postScript, const std::string& pdfPath, double width = 200,
                   double height = 100, double left = 0, double bottom = 0);
// The converter's SaveAsPDF with no job options unless given; `eps` selects the EPS path.
int32_t SaveAsPdf(const std::string& source, const std::string& pdf, bool eps = true,
                  const char* options = nullptr);

// A render of the raster device: rows top first, `depth` bits per pixel.
struct Render {
    std::int32_t width = 0, height = 0, rowBytes = 0, depth = 32;
    std::vector<std::uint8_t> pixels;
    std::vector<int> At(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* at = pixels.data() + static_cast<std::size_t>(y) * rowBytes + x * (depth / 8);
        return {at, at + depth / 8};
    }
};
// Opens the raster device for `width` x `height` points at `dpi` over a fresh pixmap of bytes 0xAB in
// `render` (none given: the analysis render, without pixels) and draws `text` in one block.
int32_t RenderText(const std::string& text, double width, double height, double dpi, std::int16_t bits,
                   Render* render, RipColorCallback* callback = nullptr);

// What qpdf reads of a PDF's first page.
struct PdfFacts {
    bool ok = false;
    std::string error;
    std::string version;                       // "1.7"
    double llx = 0, lly = 0, urx = 0, ury = 0; // the crop box (the media box when none)
    int pages = 0;
    std::string content;            // decoded
    std::vector<std::string> fonts; // BaseFont names, forms included, sorted
    bool AllFontsEmbedded = true;
    std::pair<double, double> Size() const { return {urx - llx, ury - lly}; }
};
PdfFacts InspectPdf(const std::string& path);

// Collects what a wrapper logs while it lives: through the interpreter's BSetLogger, or the setter given.
class MessageCapture {
public:
    using Setter = void (*)(void* context, JawsLogCallback logger);
    explicit MessageCapture(Setter setter = nullptr)
        : mSetter(setter != nullptr ? setter : Jaws()->BSetLogger) {
        mSetter(this, &MessageCapture::Receive);
    }
    ~MessageCapture() { mSetter(nullptr, nullptr); } // (not copied: it holds a mutex)

    std::vector<std::string> Texts(int kind = -1) const { // of that kind (-1: every message), in order
        std::lock_guard<std::mutex> guard(mLock);
        std::vector<std::string> texts;
        for (const auto& [k, text] : mMessages)
            if (kind < 0 || k == kind)
                texts.push_back(text);
        return texts;
    }
    std::string All() const {
        std::string all;
        for (const std::string& message : Texts())
            all += message + "\n";
        return all;
    }
    bool Contains(const std::string& text) const { return All().find(text) != std::string::npos; }
    void Clear() {
        std::lock_guard<std::mutex> guard(mLock);
        mMessages.clear();
    }

private:
    static void Receive(void* context, int kind, char* message, int length) {
        auto* self = static_cast<MessageCapture*>(context);
        EXPECT_EQ(std::strlen(message), static_cast<std::size_t>(length));
        std::lock_guard<std::mutex> guard(self->mLock);
        self->mMessages.emplace_back(kind, std::string(message, static_cast<std::size_t>(length)));
    }
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
