// Writes the renders of a raster job into the caller's pixmap as their pixels arrive (RasterDevice.h says
// what each request renders and how they combine). Beside the pixmap it keeps a run of rows at most: the
// first of two renders waits in the pixmap itself until the second gives the coverage. Only a 16-bit pixmap,
// whose 4-bit components cannot hold it, keeps the first of two renders whole beside it. The colour callback
// gets the same runs of whole rows as ever.
#pragma once

#include "RasterDevice.h"

#include <cstddef>
#include <string>
#include <vector>

namespace BRASK::WRAPPERS {

class PixmapComposer {
public:
    explicit PixmapComposer(const RasterSetup& setup);

    // The raster job's sink: the next `length` bytes of render `pass`. False refuses them (and all that
    // follow): bytes past what the render holds, a render out of order, or a colour callback that failed.
    bool Take(int pass, const char* data, std::size_t length);
    // True when every render arrived whole and was written; else false with `error` saying why.
    bool Finish(std::string& error) const;

private:
    // Writes rows [row, row + rows) of the current render, packed in mRun.
    bool Compose(std::size_t row, std::size_t rows);
    // Converts mRun (sourceComponents) into mTranslated through the caller's callback.
    bool Translate(std::size_t row, std::size_t rows, std::uint32_t sourceSpace, const char* source);
    // Components 0..3 of pixel (x, y) as the pixmap or the first render keeps them between the two renders.
    void KeptFirst(std::size_t x, std::size_t y, int components, std::uint8_t* values) const;

    RasterSetup mSetup;
    std::vector<RasterPass> mPasses;
    std::size_t mRunRows = 1;
    std::size_t mPass = 0;     // the render being received
    std::size_t mReceived = 0; // its bytes so far
    std::size_t mRowsDone = 0; // its rows written
    std::vector<char> mRun;    // whole rows of it not yet written
    std::vector<char> mTranslated;
    bool mFirstBeside = false; // the first of two renders is kept beside a 16-bit pixmap
    std::vector<char> mFirst;
    std::string mError;
};

} // namespace BRASK::WRAPPERS
