// Loads the wrapper libraries from the application folder exactly as the plug-in does: dlopen by path, then
// dlsym of every entry point by name.
#pragma once

#include <jaws/CallasApi.h>
#include <jaws/JawsApi.h>

#include <brask/IO.h>
#include <brask/TObject.h>

#include <cstdint>
#include <fstream>
#include <string>

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

// A read-only data provider over a file, as the host hands to the plug-in.
class FileDataProvider : public TObject<IO::IDataProvider> {
public:
    explicit FileDataProvider(const std::string& path) : mIn(path, std::ios::binary) {}
    bool IsOpen() const { return static_cast<bool>(mIn); }
    std::int32_t GetSize() override;
    std::int32_t GetPosition() override;
    Status SetPosition(std::int32_t offset, std::int32_t origin) override;
    Status Read(void* buffer, std::uint32_t& count) override;
    Status Write(const void*, std::uint32_t) override { return kReadOnly; }

private:
    std::ifstream mIn;
};

// Distils the PostScript section of an EPS file through BPDFStartDistillUsingDataProvider.
int32_t DistilEps(const std::string& epsPath, const std::string& pdfPath, double left, double bottom,
                  double right, double top);
// Distils PostScript text (written to a file first) on the box 0 0 w h.
int32_t DistilText(const std::string& postScript, const std::string& pdfPath, double width = 200,
                   double height = 100);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

} // namespace BRASK::TEST
