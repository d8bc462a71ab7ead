// Every EPS of the shared corpus is scanned, and its box compared with what its own comments say, read here
// independently of the scanner: the first %%HiResBoundingBox:, else the first %%BoundingBox:, and for an
// "(atend)" box the last box comment of the file.
#include "../support/CorpusSkip.h"
#include "EpsTestSupport.h"

#include "brask/FilterKeys.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

namespace BRASK::PLUGIN::TEST {

namespace {

namespace fs = std::filesystem;

struct Box {
    double v[4] = {0, 0, 0, 0};
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The PostScript section of a DOS binary EPS, else the whole file.
std::string Section(const std::string& bytes) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "\xC5\xD0\xD3\xC6") != 0)
        return bytes;
    auto le32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return static_cast<std::size_t>(v);
    };
    const std::size_t offset = std::min(le32(4), bytes.size());
    return bytes.substr(offset, le32(8));
}

std::optional<Box> ParseBox(const std::string& value) {
    std::istringstream in(value);
    Box box;
    for (double& v : box.v)
        if (!(in >> v))
            return std::nullopt;
    return box;
}

// What the file's own box comments give: those of the header (up to %%EndComments, embedded
// %%BeginDocument sections aside), and for an "(atend)" box the last one after the last %%Trailer line.
// No box comment at all gives the empty box.
std::optional<Box> BoxFromComments(const std::string& text) {
    static const std::regex comment(R"(^%%(HiRes)?BoundingBox:[ \t]*(.*?)[ \t]*$)");
    std::optional<std::string> hiRes, box, trailerBox;
    bool inHeader = true;
    bool inTrailer = false;
    int embedded = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.rfind("%%BeginDocument", 0) == 0)
            ++embedded;
        else if (line.rfind("%%EndDocument", 0) == 0 && embedded > 0)
            --embedded;
        else if (line.rfind("%%EndComments", 0) == 0)
            inHeader = false;
        else if (line.rfind("%%Trailer", 0) == 0) {
            inTrailer = true;
            trailerBox.reset();
        }
        std::smatch m;
        if (embedded > 0 || !std::regex_match(line, m, comment))
            continue;
        if (inHeader && m[1].matched && !hiRes)
            hiRes = m[2].str();
        else if (inHeader && !m[1].matched && !box)
            box = m[2].str();
        else if (inTrailer && !m[1].matched)
            trailerBox = m[2].str();
    }
    std::optional<Box> result;
    if (hiRes && *hiRes != "(atend)")
        result = ParseBox(*hiRes);
    else if (box && *box == "(atend)")
        result = trailerBox ? ParseBox(*trailerBox) : Box{};
    else if (box)
        result = ParseBox(*box);
    else
        result = Box{};
    if (result) {
        // Boxes thinner than three points are placed three points wide.
        for (int lo : {0, 1}) {
            const double extent = result->v[lo + 2] - result->v[lo];
            if (extent > 0 && extent < 3)
                result->v[lo + 2] = result->v[lo] + 3;
        }
    }
    return result;
}

// Files whose comments disagree with themselves, and why the scanner's box differs from the plain reading.
const std::map<std::string, std::string> kInconsistent = {
    {"eps-atend/pillow__zero_bb_eof_before_boundingbox.eps",
     "the (atend) box is given only after %%EOF, which ends the trailer: no box is taken"},
};

} // namespace

using Corpus = EpsTest;

TEST_F(Corpus, EveryFileScansAndItsBoxMatchesItsComments) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const fs::path root = BRASK_CORPUS_DIR;
    int scanned = 0;
    std::vector<std::string> mismatches;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || entry.path().parent_path().filename() == "svg" || ext == ".tsv")
            continue;
        const std::string name = fs::relative(entry.path(), root).string();
        SCOPED_TRACE(name);
        const ScannedEPS eps = ScanFile(entry.path().string());
        ++scanned;
        EXPECT_NE(eps.status, DSCSetUpFailed);
        EXPECT_NE(eps.status, DSCReadError);

        const std::optional<Box> expected = BoxFromComments(Section(ReadAll(entry.path())));
        const double got[4] = {FixedToPoints(eps.reader->GetLeft()), FixedToPoints(eps.reader->GetBottom()),
                               FixedToPoints(eps.reader->GetRight()), FixedToPoints(eps.reader->GetTop())};
        bool same = expected.has_value();
        for (int i = 0; i < 4 && same; ++i)
            same = std::fabs(got[i] - expected->v[i]) < 1e-3;
        const bool listed = kInconsistent.count(name) != 0;
        if (!same && !listed) {
            std::ostringstream why;
            why << name << ": scanner " << got[0] << ' ' << got[1] << ' ' << got[2] << ' ' << got[3];
            if (expected)
                why << ", comments " << expected->v[0] << ' ' << expected->v[1] << ' ' << expected->v[2]
                    << ' ' << expected->v[3];
            else
                why << ", comments give no box";
            mismatches.push_back(why.str());
        }
        EXPECT_EQ(same, !listed) << (listed ? kInconsistent.at(name) : "not listed");
    }
    EXPECT_GE(scanned, 100);
    for (const std::string& m : mismatches)
        ADD_FAILURE() << m;
}

} // namespace BRASK::PLUGIN::TEST
