#include "StubNames.h"

#include <cstring>
#include <string_view>

namespace BRASK::PLUGIN {

const char* GetArialAlias(const char* name) {
    if (name == nullptr)
        return nullptr;
    struct Alias {
        const char* prefix;
        const char* alias;
    };
    static constexpr Alias kAliases[] = {
        {"ArialMT", "Arial"},
        {"Arial-BoldMT", "Arial,Bold"},
        {"Arial-BoldItalicMT", "Arial,BoldItalic"},
        {"Arial-ItalicMT", "Arial,Italic"},
    };
    for (const auto& entry : kAliases)
        if (std::strncmp(name, entry.prefix, std::strlen(entry.prefix)) == 0)
            return entry.alias;
    return nullptr;
}

std::string MakePostScriptSafe(std::string name) {
    constexpr std::string_view kDelimiters = "%()/<>[]{}";
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E || kDelimiters.find(c) != std::string_view::npos)
            c = '-';
    }
    return name;
}

std::string CommaForm(std::string name, bool& changed) {
    changed = false;
    for (char& c : name) {
        if (c == '-') {
            c = ',';
            changed = true;
        }
    }
    return name;
}

std::string JoinedForm(std::string name, bool& changed) {
    changed = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == ',') {
            name.erase(i, 1);
            changed = true;
        }
    }
    return name;
}

} // namespace BRASK::PLUGIN
