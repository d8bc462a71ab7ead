// `epsimport FILE...`: places each picture through the plug-in and prints what the host learns, one JSON
// object per line.
#pragma once

#include "CommandLine.h"
#include "LogCollector.h"
#include "PluginLoader.h"
#include "StderrCapture.h"

#include "brask_host/Host.h"

#include <ostream>
#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

// One picture's JSON line and whether it was placed with status 0 and a PDF.
struct PlacedPicture {
    std::string line;
    bool placed = false;
};

// The host of the placing mode and the plug-in it loaded from the application folder, started as a host
// starts them.
class PlacingSession {
public:
    // False, with the reason in Error(), when the plug-in cannot be loaded.
    bool Start();
    HOST::Host& Host() { return *mHost; }
    PluginLoader& Plugin() { return mPlugin; }
    const std::string& Error() const { return mPlugin.Error(); }

private:
    TInterfacePtr<HOST::Host> mHost; // outlives the plug-in
    PluginLoader mPlugin;
};

// Places pictures one after the other through one loaded plug-in, as a host does.
class PicturePlacer {
public:
    // `captureBuffer`: see StderrCapture.
    PicturePlacer(HOST::Host& host, PluginLoader& plugin, const CommandLine& line, std::ostream& err,
                  int captureBuffer = -1);
    // `pdfPath`: where the PDF goes, or empty for none.
    PlacedPicture Place(const std::string& file, const std::string& pdfPath);

private:
    HOST::Host& mHost;
    PluginLoader& mPlugin;
    const CommandLine& mLine;
    LogCollector mLog;
    StderrCapture mCapture;
};

// Places every file of `line` in this process. Returns the exit status: 0 when every picture was placed with
// status 0 and a PDF, else 1.
int RunPlace(HOST::Host& host, PluginLoader& plugin, const CommandLine& line, std::ostream& out,
             std::ostream& err);

// The PDF path of each input: -o's, DIR/<name>.pdf under --output-dir (a name already taken by an earlier
// input gets "-2", "-3", ... so no PDF overwrites another), else empty.
std::vector<std::string> OutputPaths(const CommandLine& line);

// SVG when the content starts with "<" after an optional byte-order mark and white space, or is gzip data
// (.svgz); else EPS.
FileType DetectFileType(const unsigned char* bytes, std::size_t length);

} // namespace BRASK::EPSIMPORT
