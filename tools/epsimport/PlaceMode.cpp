#include "PlaceMode.h"

#include "HostFiles.h"
#include "PlaceJson.h"
#include "Progress.h"

#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <set>

namespace BRASK::EPSIMPORT {

namespace {

template <class T> TInterfacePtr<T> Make(HOST::Host& host, const GUID& classId) {
    TInterfacePtr<T> made;
    CreateInstance(&host, classId, made);
    return made;
}

FileType Detect(IO::IDataProvider& provider) {
    unsigned char head[512];
    std::uint32_t count = sizeof head;
    provider.SetPosition(0, IO::IDataProvider::kFromStart);
    provider.Read(head, count);
    provider.SetPosition(0, IO::IDataProvider::kFromStart);
    return DetectFileType(head, count);
}

float SizeKey(const IDictionary* dictionary, std::int32_t key) {
    float value = 0;
    if (dictionary != nullptr)
        dictionary->GetFloat(key, value);
    return std::max(0.0f, value);
}

bool WritePDF(const std::string& path, const GRAPHICS::IConnectionSpace& space) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(space.GetPDFData()),
               static_cast<std::streamsize>(space.GetPDFSize()));
    return static_cast<bool>(file);
}

} // namespace

bool PlacingSession::Start() {
    HOST::HostOptions options;
    options.applicationDir = DefaultApplicationFolder();
    mHost = HOST::Host::Create(options);
    mHost->PublishAsCoreRegistry();
    return mPlugin.Load(options.applicationDir, *mHost);
}

PicturePlacer::PicturePlacer(HOST::Host& host, PluginLoader& plugin, const CommandLine& line,
                             std::ostream& err, int captureBuffer)
    : mHost(host), mPlugin(plugin), mLine(line), mLog(line.verbose, err), mCapture(captureBuffer) {}

PlacedPicture PicturePlacer::Place(const std::string& file, const std::string& pdfPath) {
    TInterfacePtr<IO::IDataProvider> provider;
    if (const Status opened = OpenReadOnly(mHost, file, provider); opened != kOK)
        return {DumpLine(FailedPictureLine(file, OpenErrorText(opened))), false};

    mLog.Clear();
    mCapture.Begin();
    nlohmann::ordered_json result;
    result["file"] = file;
    const FileType type = mLine.type != FileType::Detect ? mLine.type : Detect(*provider);
    auto options = Make<IDictionary>(mHost, CLSID::PersistentDictionary);
    // The interpreter distils EPS only; a host places SVG through the converter whatever it chose for EPS.
    if (mLine.interpreter && type == FileType::EPS)
        options->SetBool(OPTIONKEY::kUseInterpreter, true);
    if (mLine.draft)
        options->SetBool(OPTIONKEY::kProcessorFlag, false);
    if (type == FileType::SVG)
        options->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);

    auto graphic = mPlugin.NewCompositeGraphic();
    Status status = kOutOfMemory;
    if (graphic)
        status = graphic->Init(mHost, *provider, options.Get());
    result["status"] = status;
    result["type"] = type == FileType::SVG ? "SVG" : "EPS";

    GRAPHICS::IConnectionSpace* space = nullptr;
    TInterfacePtr<GRAPHICS::ITile> tile;
    if (graphic) {
        DescribePlacedGraphic(result, *graphic, type == FileType::EPS);
        const auto* dictionary = FindAttached<IDictionary>(*graphic, CLSID::FilterDictionaryKey);
        tile = Make<GRAPHICS::ITile>(mHost, CLSID::Tile);
        if (tile && tile->Init({0, 0, SizeKey(dictionary, 15), SizeKey(dictionary, 14)}) == kOK &&
            graphic->AdaptTile(nullptr, tile.Get()) == kOK)
            space = FindAttached<GRAPHICS::IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey);
    }
    const std::string standardError = mCapture.End();

    // Fonts the picture asked for and did not get; with --strict-fonts the picture is not placed.
    std::string substituted;
    result["fontSubstitutions"] = nlohmann::ordered_json::array();
    for (const auto& [requested, used] : mLog.FontSubstitutions()) {
        result["fontSubstitutions"].push_back({{"requested", requested}, {"used", used}});
        substituted += (substituted.empty() ? "" : ", ") + requested + " replaced by " + used;
    }
    const bool refused = mLine.strictFonts && !substituted.empty();
    if (refused)
        space = nullptr;

    result["pdf"] = nullptr;
    if (space != nullptr && !pdfPath.empty()) {
        if (WritePDF(pdfPath, *space))
            result["pdf"] = pdfPath;
        else
            result["error"] = "cannot write " + pdfPath;
    }
    if (status != kOK || space == nullptr) {
        const std::string cause =
            FailureCause(mLog.Errors(), ConverterLines(standardError), AbsolutePath(file));
        result["error"] = !cause.empty()     ? cause
                          : space == nullptr ? std::string("the plug-in gave no connection space")
                                             : "placement failed with status " + std::to_string(status);
    }
    if (refused)
        result["error"] = "font substitution refused (--strict-fonts): " + substituted;
    return {DumpLine(result), !result.contains("error")};
}

std::vector<std::string> OutputPaths(const CommandLine& line) {
    std::vector<std::string> paths(line.files.size());
    if (!line.output.empty()) {
        paths.assign(line.files.size(), line.output);
        return paths;
    }
    if (line.outputDir.empty())
        return paths;
    std::set<std::string> taken;
    for (std::size_t i = 0; i < line.files.size(); ++i) {
        const std::string stem = std::filesystem::path(line.files[i]).stem().string();
        std::string name = stem;
        for (int n = 2; !taken.insert(name).second; ++n)
            name = stem + "-" + std::to_string(n);
        paths[i] = (std::filesystem::path(line.outputDir) / name).string() + ".pdf";
    }
    return paths;
}

FileType DetectFileType(const unsigned char* bytes, std::size_t length) {
    if (length >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B)
        return FileType::SVG;
    // Text in UTF-16 (with its byte-order mark) is read a unit at a time, UTF-8 and 8-bit text a byte at a
    // time.
    std::size_t i = 0;
    std::size_t step = 1;
    int low = 0; // the byte of a unit that carries an ASCII character
    if (length >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
        i = 2;
        step = 2;
        low = bytes[0] == 0xFF ? 0 : 1;
    } else if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        i = 3;
    }
    const auto unit = [&](std::size_t at) -> int {
        if (step == 1)
            return bytes[at];
        return bytes[at + 1 - low] == 0 ? bytes[at + low] : -1;
    };
    while (i + step <= length && (unit(i) == ' ' || unit(i) == '\t' || unit(i) == '\r' || unit(i) == '\n'))
        i += step;
    return i + step <= length && unit(i) == '<' ? FileType::SVG : FileType::EPS;
}

int RunPlace(HOST::Host& host, PluginLoader& plugin, const CommandLine& line, std::ostream& out,
             std::ostream& err) {
    PicturePlacer placer(host, plugin, line, err);
    const std::vector<std::string> pdfPaths = OutputPaths(line);
    if (!line.outputDir.empty())
        std::filesystem::create_directories(line.outputDir);
    Progress progress(line.files.size(), err);
    int exitStatus = 0;
    for (std::size_t index = 0; index < line.files.size(); ++index) {
        progress.Show(index + 1, line.files[index]);
        const PlacedPicture placed = placer.Place(line.files[index], pdfPaths[index]);
        if (!placed.placed)
            exitStatus = 1;
        out << placed.line << '\n' << std::flush;
    }
    return exitStatus;
}

} // namespace BRASK::EPSIMPORT
