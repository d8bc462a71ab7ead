#include "Corpus.h"

#include "PdfInspect.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace BRASK::TEST {

namespace {

std::optional<Box> ParseBox(const std::string& text) {
    std::istringstream in(text);
    Box box;
    if (in >> box.llx >> box.lly >> box.urx >> box.ury)
        return box;
    return std::nullopt;
}

std::optional<Box> ManifestBox(const std::string& features) {
    static const std::regex atend(R"(atend bbox \(trailer: ([^)]*)\))");
    static const std::regex plain(R"((^|[^a-z])bbox (-?[0-9.]+ +-?[0-9.]+ +-?[0-9.]+ +-?[0-9.]+))");
    // A concrete header box wins; "(atend)" takes the trailer's last value.
    std::smatch match;
    if (std::regex_search(features, match, plain))
        return ParseBox(match[2].str());
    if (std::regex_search(features, match, atend)) {
        const std::string values = match[1].str();
        const std::size_t comma = values.rfind(',');
        return ParseBox(comma == std::string::npos ? values : values.substr(comma + 1));
    }
    return std::nullopt;
}

} // namespace

std::vector<CorpusFile> LoadCorpus() {
    std::vector<CorpusFile> files;
    std::ifstream manifest(std::string(BRASK_CORPUS_DIR) + "/MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line); // header
    while (std::getline(manifest, line)) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        std::string field;
        while (std::getline(row, field, '\t'))
            fields.push_back(field);
        if (fields.size() < 6)
            continue;
        CorpusFile file;
        file.relativePath = fields[0];
        file.path = std::string(BRASK_CORPUS_DIR) + "/" + fields[0];
        file.svg = fields[0].rfind("svg/", 0) == 0;
        if (!file.svg)
            file.box = ManifestBox(fields[5]);
        files.push_back(file);
    }
    return files;
}

std::string JobOptions(const std::string& level, const std::string& resolution) {
    return "<<\n/AllowTransparency true\n/AutoPositionEPSFiles true\n/ColorConversionStrategy  "
           "/LeaveColorUnchanged\n/CompatibilityLevel " +
           level + "\n>> setdistillerparams\n<<\n/HWResolution [" + resolution + " " + resolution +
           "]\n>> setpagedevice\n";
}

std::vector<std::string> ReferenceWords(const std::string& epsPath) {
    int code = 0;
    const std::string text =
        RunCommand("gs -q -dSAFER -dBATCH -dNOPAUSE -dEPSCrop -sDEVICE=txtwrite -sOutputFile=- " +
                       ShellQuote(epsPath) + " 2>/dev/null",
                   code);
    return Words(text);
}

} // namespace BRASK::TEST
