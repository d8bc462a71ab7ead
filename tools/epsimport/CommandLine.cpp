#include "CommandLine.h"

#include <cstdlib>
#include <string_view>

namespace BRASK::EPSIMPORT {

namespace {
constexpr long kMaxJobs = 64;
} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool onlyFiles = false;
    bool info = false;
    bool dpiGiven = false;
    const auto value = [&](int& i, std::string_view option) -> const char* {
        if (i + 1 >= argc) {
            line.error = std::string(option) + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    for (int i = 1; i < argc && line.error.empty(); ++i) {
        const std::string_view arg = argv[i];
        if (onlyFiles || arg.empty() || arg.front() != '-' || arg == "-") {
            line.files.emplace_back(arg);
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "--info") {
            info = true;
        } else if (arg == "--help" || arg == "-h") {
            line.mode = Mode::Help;
            return line;
        } else if (arg == "-o") {
            if (const char* v = value(i, arg))
                line.output = v;
        } else if (arg == "--output-dir") {
            if (const char* v = value(i, arg))
                line.outputDir = v;
        } else if (arg == "--preview") {
            if (const char* v = value(i, arg))
                line.preview = v;
        } else if (arg == "--dpi") {
            const char* v = value(i, arg);
            if (v == nullptr)
                break;
            char* end = nullptr;
            line.dpi = std::strtod(v, &end);
            if (end == v || *end != '\0' || !(line.dpi >= 1 && line.dpi <= 4800))
                line.error = "--dpi takes a number from 1 to 4800";
            dpiGiven = true;
        } else if (arg == "--cmyk") {
            line.cmyk = true;
        } else if (arg == "--translate") {
            line.translate = true;
        } else if (arg == "--interpreter") {
            line.interpreter = true;
        } else if (arg == "--draft") {
            line.draft = true;
        } else if (arg == "--strict-fonts") {
            line.strictFonts = true;
        } else if (arg == "-v" || arg == "--verbose") {
            line.verbose = true;
        } else if (arg == "-j" || arg == "--jobs" || (arg.size() > 2 && arg.substr(0, 2) == "-j")) {
            const char* v = arg.size() > 2 && arg[1] == 'j' ? argv[i] + 2 : value(i, arg);
            if (v == nullptr)
                break;
            char* end = nullptr;
            const long jobs = std::strtol(v, &end, 10);
            if (end == v || *end != '\0' || jobs < 1 || jobs > kMaxJobs)
                line.error = "-j takes a number of processes from 1 to " + std::to_string(kMaxJobs);
            else
                line.jobs = static_cast<int>(jobs);
        } else if (arg == "--type") {
            const char* v = value(i, arg);
            if (v == nullptr)
                break;
            if (std::string_view(v) == "eps")
                line.type = FileType::EPS;
            else if (std::string_view(v) == "svg")
                line.type = FileType::SVG;
            else
                line.error = "--type takes eps or svg";
        } else {
            line.error = "unknown option " + std::string(arg);
        }
    }
    if (!line.error.empty())
        return line;
    if (info) {
        line.mode = Mode::Info;
        if (!line.output.empty() || !line.outputDir.empty() || line.interpreter || line.draft ||
            line.type != FileType::Detect || line.jobs != 0)
            line.error = "--info takes no placing options";
    }
    if (line.error.empty() && !line.preview.empty()) {
        line.mode = Mode::Preview;
        if (info || !line.output.empty() || !line.outputDir.empty() || line.interpreter || line.draft ||
            line.type == FileType::SVG || line.jobs != 0)
            line.error = "--preview takes only --dpi, --cmyk and --translate";
        else if (line.files.size() != 1)
            line.error = "--preview takes exactly one EPS file";
    }
    if (line.error.empty() && line.mode != Mode::Preview && (dpiGiven || line.cmyk || line.translate))
        line.error = "--dpi, --cmyk and --translate go with --preview";
    if (line.error.empty() && line.files.empty())
        line.error = "no files given";
    if (line.error.empty() && !line.output.empty() && line.files.size() != 1)
        line.error = "-o takes exactly one input file (use --output-dir for several)";
    if (line.error.empty() && !line.output.empty() && !line.outputDir.empty())
        line.error = "give either -o or --output-dir";
    return line;
}

const char* UsageText() {
    return "usage: epsimport [options] FILE...      place each picture through the plug-in\n"
           "       epsimport --info FILE...         print each EPS file's DSC information\n"
           "       epsimport --preview FILE.png [--dpi N] [--cmyk] [--translate] EPSFILE\n"
           "                                        render the EPS through the plug-in's RIP into a PNG\n"
           "  -o FILE            write the PDF of the one input to FILE\n"
           "  --output-dir DIR   write DIR/<name>.pdf for every input\n"
           "  -j N               place with N worker processes (default: the number of cores)\n"
           "  --interpreter      distil EPS with the PostScript interpreter straight from the data\n"
           "  --draft            convert at draft resolution\n"
           "  --type eps|svg     override the detection (SVG when the content starts with '<')\n"
           "  --strict-fonts     fail a placement whose fonts were substituted\n"
           "  --dpi N            preview resolution (72)\n"
           "  --cmyk             render CMYK, shown through the host's CMYK -> RGB profile transform\n"
           "  --translate        convert the render's colours through the host's ICC profiles\n"
           "  -v                 print the log records to standard error\n"
           "  --help             this text\n"
           "Each picture gives one JSON object per line on standard output. Exit status 0 when every\n"
           "picture was placed (or scanned) without error, 1 otherwise, 2 for a bad command line.\n";
}

} // namespace BRASK::EPSIMPORT
