#include "EpsSection.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace BRASK::WRAPPERS {

namespace {

constexpr std::size_t kHeadBytes = 256 * 1024;
constexpr std::size_t kTailBytes = 64 * 1024;
constexpr std::size_t kDosHeaderSize = 30;
constexpr std::string_view kBoundingBox = "%%BoundingBox:";
constexpr std::string_view kHiResBoundingBox = "%%HiResBoundingBox:";

std::uint32_t LittleEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// Calls `onLine` for every line of `text` (CR, LF or CR LF ends a line); stops when it returns false.
template <class F> void ForEachLine(std::string_view text, F&& onLine) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = text.size();
        if (!onLine(text.substr(at, end - at)))
            return;
        at = end;
        if (at < text.size() && text[at] == '\r')
            ++at;
        if (at < text.size() && text[at] == '\n')
            ++at;
    }
}

struct BoxComment {
    std::optional<EpsBox> value;
    bool seen = false;
};

void Note(std::string_view line, std::string_view key, BoxComment& comment, bool keepFirst) {
    if (line.substr(0, key.size()) != key)
        return;
    comment.seen = true;
    std::optional<EpsBox> box = ParseBoxValue(line.substr(key.size()));
    if (box && (!keepFirst || !comment.value))
        comment.value = box;
}

std::string ReadAt(std::ifstream& in, std::uint64_t offset, std::size_t count) {
    std::string bytes(count, '\0');
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

} // namespace

std::optional<EpsBox> ParseBoxValue(std::string_view value) {
    // Four numbers at most 64 characters each; "(atend)" and anything else yield nothing.
    std::string text(value.substr(0, 512));
    const char* p = text.c_str();
    double numbers[4];
    for (double& number : numbers) {
        while (*p == ' ' || *p == '\t')
            ++p;
        char* end = nullptr;
        number = std::strtod(p, &end);
        if (end == p || !std::isfinite(number) || std::fabs(number) > 1e7)
            return std::nullopt;
        p = end;
    }
    return EpsBox{numbers[0], numbers[1], numbers[2], numbers[3]};
}

std::optional<EpsBox> FindBoundingBox(std::string_view head, std::string_view tail) {
    BoxComment box, hiRes;
    bool first = true;
    ForEachLine(head, [&](std::string_view line) {
        if (line.substr(0, 13) == "%%EndComments")
            return false;
        if (!first && !line.empty() && line[0] != '%')
            return false;
        first = false;
        Note(line, kBoundingBox, box, true);
        Note(line, kHiResBoundingBox, hiRes, true);
        return true;
    });
    // "(atend)" or no value in the header: the last value in the trailer counts.
    if (!box.value || !hiRes.value) {
        BoxComment tailBox, tailHiRes;
        ForEachLine(tail, [&](std::string_view line) {
            Note(line, kBoundingBox, tailBox, false);
            Note(line, kHiResBoundingBox, tailHiRes, false);
            return true;
        });
        if (!box.value)
            box.value = tailBox.value;
        if (!hiRes.value)
            hiRes.value = tailHiRes.value;
    }
    if (box.value && !box.value->Empty())
        return box.value;
    if (hiRes.value && !hiRes.value->Empty())
        return hiRes.value;
    return box.value;
}

std::optional<EpsSection> ReadEpsSection(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff fileSize = in.tellg();
    if (fileSize <= 0) {
        error = "the file is empty";
        return std::nullopt;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(fileSize);
    EpsSection section{0, size, std::nullopt};

    const std::string header = ReadAt(in, 0, kDosHeaderSize);
    const auto* bytes = reinterpret_cast<const unsigned char*>(header.data());
    if (header.size() >= 4 && bytes[0] == 0xC5 && bytes[1] == 0xD0 && bytes[2] == 0xD3 && bytes[3] == 0xC6) {
        if (header.size() < kDosHeaderSize) {
            error = "the DOS EPS header is cut short";
            return std::nullopt;
        }
        const std::uint64_t offset = LittleEndian32(bytes + 4);
        const std::uint64_t length = LittleEndian32(bytes + 8);
        if (offset < kDosHeaderSize || offset >= size || length == 0) {
            error = "the DOS EPS header points outside the file";
            return std::nullopt;
        }
        section.offset = offset;
        section.length = std::min(length, size - offset);
    }
    const std::string head = ReadAt(in, section.offset, std::min<std::uint64_t>(section.length, kHeadBytes));
    const std::uint64_t tailSize = std::min<std::uint64_t>(section.length, kTailBytes);
    const std::string tail = ReadAt(in, section.offset + section.length - tailSize, tailSize);
    section.box = FindBoundingBox(head, tail);
    return section;
}

} // namespace BRASK::WRAPPERS
