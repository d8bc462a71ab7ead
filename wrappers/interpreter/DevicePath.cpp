#include "DevicePath.h"

namespace BRASK::WRAPPERS {

std::optional<DevicePath> DevicePath::Parse(std::string_view text) {
    DevicePath path;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ';') { // tolerate empty entries
            ++at;
            continue;
        }
        if (text[at] != '%')
            return std::nullopt;
        const std::size_t close = text.find('%', at + 1);
        if (close == std::string_view::npos || close == at + 1 || close + 1 >= text.size())
            return std::nullopt;
        DeviceEntry entry;
        entry.name = std::string(text.substr(at + 1, close - at - 1));
        entry.op = text[close + 1];
        if (entry.op != '=' && entry.op != '+' && entry.op != '!')
            return std::nullopt;
        const std::size_t valueStart = close + 2;
        std::size_t end = text.find(';', valueStart);
        if (end == std::string_view::npos)
            end = text.size();
        entry.value = std::string(text.substr(valueStart, end - valueStart));
        path.mEntries.push_back(std::move(entry));
        at = end;
    }
    return path;
}

std::string DevicePath::Value(std::string_view name) const {
    for (auto it = mEntries.rbegin(); it != mEntries.rend(); ++it) {
        if (it->name == name)
            return it->value;
    }
    return {};
}

bool DevicePath::Has(std::string_view name) const {
    for (const DeviceEntry& entry : mEntries) {
        if (entry.name == name)
            return true;
    }
    return false;
}

std::vector<std::string> DevicePath::FontFolders() const {
    std::vector<std::string> folders;
    const std::string list = Value("psfont");
    std::size_t at = 0;
    while (at <= list.size()) {
        std::size_t comma = list.find(',', at);
        if (comma == std::string::npos)
            comma = list.size();
        if (comma > at)
            folders.push_back(list.substr(at, comma - at));
        at = comma + 1;
    }
    return folders;
}

} // namespace BRASK::WRAPPERS
