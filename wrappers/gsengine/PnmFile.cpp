#include "PnmFile.h"

#include <cctype>
#include <fstream>
#include <limits>

namespace BRASK::WRAPPERS {

namespace {

constexpr long long kMaxPixels = 32767LL * 32767LL;

// The next white-space separated word of a header; comments (# to the end of the line) are skipped.
bool NextWord(std::istream& in, std::string& word) {
    word.clear();
    int c = in.get();
    for (;;) {
        while (c != EOF && std::isspace(c))
            c = in.get();
        if (c != '#')
            break;
        while (c != EOF && c != '\n')
            c = in.get();
    }
    while (c != EOF && !std::isspace(c) && word.size() < 64) {
        word.push_back(static_cast<char>(c));
        c = in.get();
    }
    return !word.empty(); // the one white-space character after the word is consumed
}

bool Number(const std::string& word, long long& value) {
    if (word.empty() || word.size() > 9)
        return false;
    value = 0;
    for (char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

} // namespace

bool PnmReader::Open(const std::string& path, std::string& error) {
    mIn = std::ifstream(path, std::ios::binary);
    mWidth = mHeight = mComponents = 0;
    mRemaining = 0;
    if (!mIn) {
        error = "the render left no raster file";
        return false;
    }
    std::string word;
    long long width = 0, height = 0, depth = 0, maxValue = 0;
    if (!NextWord(mIn, word)) {
        error = "the raster file is empty";
        return false;
    }
    if (word == "P6") {
        std::string w, h, m;
        if (!NextWord(mIn, w) || !NextWord(mIn, h) || !NextWord(mIn, m) || !Number(w, width) ||
            !Number(h, height) || !Number(m, maxValue)) {
            error = "the PPM header cannot be read";
            return false;
        }
        depth = 3;
    } else if (word == "P7") {
        for (;;) {
            if (!NextWord(mIn, word)) {
                error = "the PAM header cannot be read";
                return false;
            }
            if (word == "ENDHDR")
                break;
            std::string value;
            if (!NextWord(mIn, value)) {
                error = "the PAM header cannot be read";
                return false;
            }
            if (word == "WIDTH")
                Number(value, width);
            else if (word == "HEIGHT")
                Number(value, height);
            else if (word == "DEPTH")
                Number(value, depth);
            else if (word == "MAXVAL")
                Number(value, maxValue);
        }
    } else {
        error = "the raster file is neither PPM nor PAM";
        return false;
    }
    if (width <= 0 || height <= 0 || width * height > kMaxPixels || maxValue != 255 ||
        (depth != 3 && depth != 4)) {
        error = "the raster file has an unexpected size or depth";
        return false;
    }
    mWidth = static_cast<std::int32_t>(width);
    mHeight = static_cast<std::int32_t>(height);
    mComponents = static_cast<int>(depth);
    mRemaining = static_cast<std::uint64_t>(width * height * depth);
    return true;
}

bool PnmReader::Read(char* buffer, std::size_t length, std::string& error) {
    if (length > mRemaining) {
        error = "more pixels were asked for than the raster file holds";
        return false;
    }
    mIn.read(buffer, static_cast<std::streamsize>(length));
    if (static_cast<std::size_t>(mIn.gcount()) != length) {
        error = "the raster file is shorter than its header says";
        mRemaining = 0;
        return false;
    }
    mRemaining -= length;
    return true;
}

} // namespace BRASK::WRAPPERS
