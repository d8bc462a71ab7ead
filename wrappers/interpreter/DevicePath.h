// The device path handed to postscript_dll_startup: a list of named devices mapped onto folders,
// "%name%" followed by an operator ('=' defines, '+' adds, '!' marks a device without folder) and a value
// that runs to the next ';'. Example:
//   %os%=;%xfont%+/app/jaws/FontStubs;%psfont%=/usr/share/fonts/a,/usr/share/fonts/b;%temp%=/tmp/jaws42;
//   %profiles%=/app/Profiles;%default%+/tmp/jaws42;%ram%!
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::WRAPPERS {

struct DeviceEntry {
    std::string name; // without the percent signs
    char op = '=';
    std::string value;
};

class DevicePath {
public:
    // Nullopt when the text is not a device path (an entry without its closing '%' or operator).
    static std::optional<DevicePath> Parse(std::string_view text);

    const std::vector<DeviceEntry>& Entries() const { return mEntries; }
    // The value of the last entry named `name`; empty when absent.
    std::string Value(std::string_view name) const;
    bool Has(std::string_view name) const;

    std::string TempFolder() const { return Value("temp"); }
    std::string ProfilesFolder() const { return Value("profiles"); }
    std::string FontStubFolder() const { return Value("xfont"); }
    // The %psfont% folders (comma-separated in the path), empty entries dropped.
    std::vector<std::string> FontFolders() const;

private:
    std::vector<DeviceEntry> mEntries;
};

} // namespace BRASK::WRAPPERS
