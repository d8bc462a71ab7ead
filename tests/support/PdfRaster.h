// A PDF's first page as poppler renders it (pdftoppm), and a comparison of two such renders that allows the
// picture to sit up to a pixel apart (the plug-in places by the HiRes box, `gs -dEPSCrop` by the integer
// one).
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace BRASK::TEST {

struct RgbRaster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // top row first
    bool Empty() const { return width <= 0 || height <= 0; }
    int At(int x, int y, int channel) const {
        return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + channel];
    }
    // Pixels darker than mid-grey in every channel.
    std::size_t Ink() const {
        std::size_t count = 0;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
            count += rgb[i] < 128 && rgb[i + 1] < 128 && rgb[i + 2] < 128;
        return count;
    }
};

// Page 1 of `pdf` rendered by `pdftoppm -r dpi` into `ppmPrefix`.ppm and read back; empty on failure.
inline RgbRaster RenderPdf(const std::string& pdf, const std::string& ppmPrefix, int dpi = 72) {
    RgbRaster raster;
    const std::string command = "pdftoppm -r " + std::to_string(dpi) + " -f 1 -l 1 -singlefile '" + pdf +
                                "' '" + ppmPrefix + "' > /dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return raster;
    std::ifstream in(ppmPrefix + ".ppm", std::ios::binary);
    const std::string ppm(std::istreambuf_iterator<char>(in), {});
    int samplesAt = 0; // after the header and the one white-space byte that ends it
    std::sscanf(ppm.c_str(), "P6 %d %d 255%*1[ \t\r\n]%n", &raster.width, &raster.height, &samplesAt);
    if (samplesAt == 0 || raster.Empty() ||
        ppm.size() - samplesAt != std::size_t(raster.width) * raster.height * 3)
        return RgbRaster{};
    raster.rgb.assign(ppm.begin() + samplesAt, ppm.end());
    return raster;
}

// Each channel averaged over the 3 x 3 pixels around each pixel (fewer at the edges).
inline RgbRaster Blurred(const RgbRaster& raster) {
    const int w = raster.width, h = raster.height;
    RgbRaster out = raster;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0, count = 0;
                for (int v = std::max(0, y - 1); v <= std::min(h - 1, y + 1); ++v)
                    for (int u = std::max(0, x - 1); u <= std::min(w - 1, x + 1); ++u, ++count)
                        sum += raster.At(u, v, c);
                out.rgb[(static_cast<std::size_t>(y) * w + x) * 3 + c] =
                    static_cast<std::uint8_t>((sum + count / 2) / count);
            }
    return out;
}

struct RasterDifference {
    int dx = 0, dy = 0;        // the shift of the second render that matches best
    double meanAbsolute = 255; // at that shift, the mean absolute difference per channel on every fourth row
    int widthDelta = 0, heightDelta = 0; // second minus first
    // At that shift, of both renders blurred over 3 x 3 pixels: the largest mean absolute difference of an
    // 8 x 8 pixel tile (a missing glyph leaves a tile far apart, an edge half a pixel off does not) and the
    // mean over all of them.
    double worstTile = 255;
    double blurredMean = 255;
};

// Compares `b` with `a` at every shift of up to `maxShift` pixels in each direction, over the pixels both
// cover; the shift is chosen by the mean absolute difference on every fourth row.
inline RasterDifference CompareRasters(const RgbRaster& a, const RgbRaster& b, int maxShift = 1) {
    RasterDifference best;
    best.widthDelta = b.width - a.width;
    best.heightDelta = b.height - a.height;
    if (a.Empty() || b.Empty())
        return best;
    if (a.width == b.width && a.height == b.height && a.rgb == b.rgb) {
        best.meanAbsolute = best.worstTile = best.blurredMean = 0;
        return best;
    }
    // The absolute differences of a pair of rasters at a shift, tile by tile.
    const auto compare = [&](const RgbRaster& p, const RgbRaster& q, int dx, int dy, int rowStep, int tile,
                             double& worstTile) {
        std::uint64_t total = 0, count = 0;
        worstTile = 0;
        for (int ty = std::max(0, -dy); ty < p.height && ty + dy < q.height; ty += tile)
            for (int tx = std::max(0, -dx); tx < p.width && tx + dx < q.width; tx += tile) {
                std::uint64_t tileTotal = 0, tileCount = 0;
                for (int y = ty; y < std::min(ty + tile, p.height) && y + dy < q.height; y += rowStep)
                    for (int x = tx; x < std::min(tx + tile, p.width) && x + dx < q.width; ++x, ++tileCount)
                        for (int c = 0; c < 3; ++c)
                            tileTotal += std::abs(p.At(x, y, c) - q.At(x + dx, y + dy, c));
                total += tileTotal;
                count += tileCount;
                if (tileCount > 0)
                    worstTile = std::max(worstTile, static_cast<double>(tileTotal) / (3.0 * tileCount));
            }
        return count == 0 ? 255.0 : static_cast<double>(total) / (3.0 * count);
    };
    double unused = 0;
    for (int dy = -maxShift; dy <= maxShift; ++dy)
        for (int dx = -maxShift; dx <= maxShift; ++dx)
            if (const double mean = compare(a, b, dx, dy, 4, 1 << 20, unused); mean < best.meanAbsolute) {
                best.dx = dx;
                best.dy = dy;
                best.meanAbsolute = mean;
            }
    best.blurredMean = compare(Blurred(a), Blurred(b), best.dx, best.dy, 1, 8, best.worstTile);
    return best;
}

// Two renders look alike when, at the best shift and blurred over 3 x 3 pixels, the mean absolute difference
// per channel is at most 3 and that of every 8 x 8 tile at most 36 (of 255). Measured on the corpus: at most
// 2.2 and 29 for pictures that look the same; Symbol strings drawn without glyphs (the encoding fault of the
// former stub font map, reproduced with gs) give tiles of 42 to 105 in the six corpus files that set one.
inline bool LookAlike(const RasterDifference& d) {
    return std::abs(d.widthDelta) <= 1 && std::abs(d.heightDelta) <= 1 && d.blurredMean <= 3.0 &&
           d.worstTile <= 36.0;
}

inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct PdfBox {
    double left = 0, bottom = 0, right = 0, top = 0;
    bool Usable() const { return right - left >= 1 && top - bottom >= 1; }
};

// Ghostscript's PDF of `eps`: cropped by itself (-dEPSCrop), or drawn on `box` when given (for files gs
// cannot crop); at `resolution` dpi when positive. Every font is embedded, as the plug-in embeds them:
// poppler would draw a font left out with one of its own choice. False when gs fails.
inline bool WriteGhostscriptPdf(const std::string& eps, const std::string& pdf, int resolution = 0,
                                const PdfBox* box = nullptr) {
    std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -o " + ShellQuote(pdf);
    if (resolution > 0)
        command += " -r" + std::to_string(resolution);
    std::string setup = "<< /NeverEmbed [ ] /EmbedAllFonts true >> setdistillerparams";
    if (box == nullptr) {
        command += " -dEPSCrop";
    } else {
        command += " -dFIXEDMEDIA -dDEVICEWIDTHPOINTS=" + std::to_string(box->right - box->left) +
                   " -dDEVICEHEIGHTPOINTS=" + std::to_string(box->top - box->bottom);
        setup += " << /PageOffset [" + std::to_string(-box->left) + " " + std::to_string(-box->bottom) +
                 "] >> setpagedevice";
    }
    command += " -c " + ShellQuote(setup) + " -f " + ShellQuote(eps) + " > /dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

} // namespace BRASK::TEST
