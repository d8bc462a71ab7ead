// The PostScript that surrounds every job in a warm interpreter: the procedures defined once at start-up and
// the per-job prologue that ends by starting to read the job's bytes from the input.
//
// The interpreter starts with -dNOOUTERSAVE, so these procedures live at save level 0 and each job runs
// inside a save taken at level 0, which also covers global VM: the restore after the job undoes whatever it
// changed, in local or global VM, by any operator. The save object is kept only inside a procedure built for
// the job and made execute-only, so the job cannot reach it; after the restore the surrounding code reports
// the save level and the global VM in use, which the engine checks against its baseline. Its reports carry a
// random tag (the nonce) that the job never sees, so a job cannot forge them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace BRASK::WRAPPERS {

// Markers the surrounding PostScript prints on standard output, one per line: prefix, nonce, a space, the
// report, suffix.
inline constexpr std::string_view kMarkerPrefix = "%%[BraskJob: ";
inline constexpr std::string_view kMarkerSuffix = " ]%%";

struct JobPage {
    double width = 0;  // points
    double height = 0; // points
    double left = 0;   // the box's lower-left corner, moved to the page origin
    double bottom = 0;
    bool setPageSize = true;
    bool moveOrigin = true;
    bool embedAllFonts = true;
    double resolution = 720; // dots per inch of the page device
};

// Defines the helper procedures and the job dictionary once per instance (at save level 0); `parkingPath` is
// the file the output goes back to after each job. Ends by reporting the baseline status under `nonce`.
std::string StartupScript(const std::string& parkingPath, std::string_view nonce);

// Everything fed before the job's bytes. `jobOptions` is PostScript (setdistillerparams / setpagedevice)
// run after the baseline and before the job; its errors are reported, not fatal.
std::string JobPrologue(const JobPage& page, const std::string& outputPath, std::string_view jobOptions,
                        std::uint64_t byteCount, std::string_view nonce);

// Everything fed before the bytes of one render of a raster job: the file raster device `deviceName` over
// `outputPath`, a page of exactly `pixelWidth` x `pixelHeight` pixels at the given resolution, and the
// background (`background`, PostScript that sets a colour, is filled over the whole page; empty: none).
std::string RasterJobPrologue(std::string_view deviceName, const std::string& outputPath,
                              std::int32_t pixelWidth, std::int32_t pixelHeight, double xResolution,
                              double yResolution, std::string_view background, std::uint64_t byteCount,
                              std::string_view nonce);

// A PostScript hexadecimal string literal holding `bytes` exactly.
std::string HexString(std::string_view bytes);

// What one marker line says, for the engine. Lines that are not markers of `nonce` give kind None.
struct JobMarker {
    enum class Kind { None, Done, Error, OutputMoved, OptionsError, Status, FontSubstituted };
    Kind kind = Kind::None;
    std::string text;            // Error: "name in command"; FontSubstituted: "<order> <requested> <used>"
    long long saveLevel = -1;    // Status, Done
    long long globalVMUsed = -1; // Status, Done
};
JobMarker ParseJobMarker(std::string_view line, std::string_view nonce);

} // namespace BRASK::WRAPPERS
