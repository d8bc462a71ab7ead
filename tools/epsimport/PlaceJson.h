// The JSON object of one placed picture, as the placing mode prints it: every field is written here.
#pragma once

#include "brask/Graphics.h"
#include "brask/IDictionary.h"

#include <nlohmann/json.hpp>

#include <string>

namespace BRASK::EPSIMPORT {

// The filter information the host learns from the graphic's dictionary: size (14/15), boundingBox (2001-2004,
// EPS only; null when the plug-in never wrote it), colorSpaces (27), customColors (28), iccProfileBytes (16),
// the flags 2008, 2005, 2007, 2006, and the clipping path.
void DescribePlacedGraphic(nlohmann::ordered_json& out, GRAPHICS::ICompositeGraphic& graphic, bool eps);

// The line of a picture that never reached the plug-in (unreadable file, ended worker): file, status 1,
// error.
nlohmann::ordered_json FailedPictureLine(const std::string& file, const std::string& error);

// One line of output: the compact form, invalid UTF-8 replaced.
std::string DumpLine(const nlohmann::ordered_json& json);

} // namespace BRASK::EPSIMPORT
