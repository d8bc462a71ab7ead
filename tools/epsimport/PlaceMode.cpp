#include "PlaceMode.h"

#include "EPSInfoJson.h"
#include "HostFiles.h"
#include "LogCollector.h"

#include "brask/ClassIds.h"
#include "brask/Logger.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <unistd.h>
#include <vector>

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

bool HasKey(const IDictionary& dictionary, std::int32_t key) {
    return dictionary.GetType(key) != IDictionary::kNone;
}

float FloatKey(const IDictionary& dictionary, std::int32_t key) {
    float value = 0;
    dictionary.GetFloat(key, value);
    return value;
}

bool FlagKey(const IDictionary& dictionary, std::int32_t key) {
    std::uint8_t value = 0;
    dictionary.GetUInt8(key, value);
    return value != 0;
}

nlohmann::ordered_json ClippingPath(GRAPHICS::ICompositeGraphic& graphic) {
    auto* path = FindAttached<GRAPHICS::IPathCollection>(graphic, CLSID::ClippingPathKey);
    if (path == nullptr)
        return nullptr;
    std::uint32_t points = 0;
    for (std::uint32_t i = 0; i < path->GetSubpathCount(); ++i)
        points += path->GetKnotCount(i);
    return {{"subpaths", path->GetSubpathCount()}, {"points", points}};
}

// The filter information of a placed picture.
void Describe(nlohmann::ordered_json& out, const IDictionary& dictionary, bool eps) {
    if (HasKey(dictionary, 14) || HasKey(dictionary, 15))
        out["size"] = {{"width", FloatKey(dictionary, 14)}, {"height", FloatKey(dictionary, 15)}};
    else
        out["size"] = nullptr;
    if (eps)
        out["boundingBox"] = {{"left", FloatKey(dictionary, 2001)},
                              {"bottom", FloatKey(dictionary, 2003)},
                              {"right", FloatKey(dictionary, 2002)},
                              {"top", FloatKey(dictionary, 2004)}};
    const std::uint8_t* spaces = nullptr;
    std::uint32_t spaceCount = 0;
    dictionary.GetBytes(27, &spaces, &spaceCount);
    out["colorSpaces"] = std::vector<int>(spaces, spaces + spaceCount);
    const char16_t* colors = nullptr;
    std::uint32_t colorUnits = 0;
    dictionary.GetWString(28, &colors, &colorUnits);
    out["customColors"] = CustomColorEntries(reinterpret_cast<const std::uint16_t*>(colors),
                                             static_cast<std::uint16_t>(colorUnits));
    const std::uint8_t* profile = nullptr;
    std::uint32_t profileBytes = 0;
    dictionary.GetBytes(16, &profile, &profileBytes);
    out["iccProfileBytes"] = profileBytes;
    out["dcs"] = FlagKey(dictionary, 2008);
    out["duotone"] = FlagKey(dictionary, 2005);
    out["vectorMaskedImagery"] = FlagKey(dictionary, 2007);
    out["imageResolution"] = FlagKey(dictionary, 2006);
}

std::string OutputPath(const CommandLine& line, const std::string& input) {
    if (!line.output.empty())
        return line.output;
    if (!line.outputDir.empty())
        return (std::filesystem::path(line.outputDir) / std::filesystem::path(input).stem()).string() +
               ".pdf";
    return std::string();
}

bool WritePDF(const std::string& path, const GRAPHICS::IConnectionSpace& space) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(space.GetPDFData()),
               static_cast<std::streamsize>(space.GetPDFSize()));
    return static_cast<bool>(file);
}

std::string Dump(const nlohmann::ordered_json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

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
    LogCollector log(line.verbose, err);
    const bool progress = line.files.size() > 1 && isatty(STDERR_FILENO);
    if (!line.outputDir.empty())
        std::filesystem::create_directories(line.outputDir);
    int exitStatus = 0;
    for (std::size_t index = 0; index < line.files.size(); ++index) {
        const std::string& file = line.files[index];
        if (progress)
            err << "\r[" << index + 1 << "/" << line.files.size() << "] " << file << "\x1b[K" << std::flush;
        log.Clear();
        nlohmann::ordered_json result;
        result["file"] = file;

        TInterfacePtr<IO::IDataProvider> provider;
        if (const Status opened = OpenReadOnly(host, file, provider); opened != kOK) {
            result["status"] = 1;
            result["error"] = OpenErrorText(opened);
            out << Dump(result) << '\n';
            exitStatus = 1;
            continue;
        }
        const FileType type = line.type != FileType::Detect ? line.type : Detect(*provider);
        auto options = Make<IDictionary>(host, CLSID::PersistentDictionary);
        if (line.interpreter)
            options->SetBool(2009, true);
        if (line.draft)
            options->SetBool(2010, false);
        if (type == FileType::SVG)
            options->SetUInt32(37, GRAPHICS::kTypeSVG);

        auto graphic = plugin.NewCompositeGraphic();
        Status status = kOutOfMemory;
        if (graphic)
            status = graphic->Init(host, *provider, options.Get());
        result["status"] = status;
        result["type"] = type == FileType::SVG ? "SVG" : "EPS";

        GRAPHICS::IConnectionSpace* space = nullptr;
        TInterfacePtr<GRAPHICS::ITile> tile;
        if (graphic) {
            const auto* dictionary = FindAttached<IDictionary>(*graphic, CLSID::FilterDictionaryKey);
            if (dictionary != nullptr)
                Describe(result, *dictionary, type == FileType::EPS);
            result["clippingPath"] = ClippingPath(*graphic);
            const float width = dictionary != nullptr ? std::max(0.0f, FloatKey(*dictionary, 14)) : 0.0f;
            const float height = dictionary != nullptr ? std::max(0.0f, FloatKey(*dictionary, 15)) : 0.0f;
            tile = Make<GRAPHICS::ITile>(host, CLSID::Tile);
            if (tile && tile->Init({0, 0, height, width}) == kOK &&
                graphic->AdaptTile(nullptr, tile.Get()) == kOK)
                space = FindAttached<GRAPHICS::IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey);
        }

        // Fonts the picture asked for and did not get; with --strict-fonts the picture is not placed.
        std::string substituted;
        result["fontSubstitutions"] = nlohmann::ordered_json::array();
        for (const auto& [requested, used] : log.FontSubstitutions()) {
            result["fontSubstitutions"].push_back({{"requested", requested}, {"used", used}});
            substituted += (substituted.empty() ? "" : ", ") + requested + " replaced by " + used;
        }
        const bool refused = line.strictFonts && !substituted.empty();
        if (refused)
            space = nullptr;

        const std::string pdf = OutputPath(line, file);
        result["pdf"] = nullptr;
        if (space != nullptr && !pdf.empty()) {
            if (WritePDF(pdf, *space))
                result["pdf"] = pdf;
            else
                result["error"] = "cannot write " + pdf;
        }
        if (status != kOK || space == nullptr) {
            const std::string reason = log.LastError();
            result["error"] = !reason.empty()    ? reason
                              : space == nullptr ? std::string("the plug-in gave no connection space")
                                                 : "placement failed with status " + std::to_string(status);
        }
        if (refused)
            result["error"] = "font substitution refused (--strict-fonts): " + substituted;
        if (status != kOK || space == nullptr || result.contains("error"))
            exitStatus = 1;
        out << Dump(result) << '\n' << std::flush;
    }
    if (progress)
        err << '\n';
    return exitStatus;
}

} // namespace BRASK::EPSIMPORT
