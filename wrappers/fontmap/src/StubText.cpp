#include "StubText.h"

namespace BRASK::FONTMAP {

namespace {

struct Token {
    enum class Type { kName, kString, kOther } type;
    std::string text;
};

bool IsDelimiter(char c) {
    return std::string_view("()<>[]{}/%").find(c) != std::string_view::npos;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\0';
}

// Names, strings and other tokens; nullopt on an unterminated string or a token this reader does not know.
std::optional<std::vector<Token>> Tokenize(std::string_view text) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (IsSpace(c)) {
            ++i;
        } else if (c == '/') {
            std::size_t end = i + 1;
            while (end < text.size() && !IsSpace(text[end]) && !IsDelimiter(text[end]))
                ++end;
            tokens.push_back({Token::Type::kName, std::string(text.substr(i + 1, end - i - 1))});
            i = end;
        } else if (c == '(') {
            std::string value;
            int depth = 1;
            ++i;
            while (i < text.size() && depth > 0) {
                char d = text[i++];
                if (d == '\\' && i < text.size()) {
                    value += text[i++];
                    continue;
                }
                if (d == '(')
                    ++depth;
                else if (d == ')' && --depth == 0)
                    break;
                value += d;
            }
            if (depth != 0)
                return std::nullopt;
            tokens.push_back({Token::Type::kString, std::move(value)});
        } else if (IsDelimiter(c)) {
            return std::nullopt;
        } else {
            std::size_t end = i;
            while (end < text.size() && !IsSpace(text[end]) && !IsDelimiter(text[end]))
                ++end;
            tokens.push_back({Token::Type::kOther, std::string(text.substr(i, end - i))});
            i = end;
        }
    }
    return tokens;
}

// Matches `tokens` against `pattern`: "/" a name (captured), "(" a string (captured), "/X" the name X,
// "(X)" the string X, anything else that operator.
bool Match(const std::vector<Token>& tokens, const std::vector<std::string_view>& pattern,
           std::vector<std::string>& captures) {
    if (tokens.size() != pattern.size())
        return false;
    captures.clear();
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        const std::string_view expected = pattern[i];
        if (expected == "/" || expected == "(") {
            if (token.type != (expected == "/" ? Token::Type::kName : Token::Type::kString))
                return false;
            captures.push_back(token.text);
        } else if (expected.front() == '/') {
            if (token.type != Token::Type::kName || token.text != expected.substr(1))
                return false;
        } else if (expected.front() == '(') {
            if (token.type != Token::Type::kString || token.text != expected.substr(1, expected.size() - 2))
                return false;
        } else if (token.type != Token::Type::kOther || token.text != expected) {
            return false;
        }
    }
    return true;
}

// The file name behind the device prefix "%psfont%".
bool DeviceFile(const std::string& text, std::string& file) {
    constexpr std::string_view kPrefix = "%psfont%";
    if (text.compare(0, kPrefix.size(), kPrefix) != 0 || text.size() == kPrefix.size())
        return false;
    file = text.substr(kPrefix.size());
    return true;
}

} // namespace

std::vector<EdirLine> ParseEdir(std::string_view text) {
    std::vector<EdirLine> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const auto tokens = Tokenize(line);
        std::vector<std::string> captures;
        if (tokens && Match(*tokens, {"/", "("}, captures))
            lines.push_back({captures[0], captures[1]});
    }
    return lines;
}

std::optional<StubDefinition> ParseStub(std::string_view text) {
    const auto tokens = Tokenize(text);
    if (!tokens)
        return std::nullopt;
    std::vector<std::string> c;
    StubDefinition stub;
    if (Match(*tokens, {"/", "(", "definesfntfontset", "0", "get", "definefont", "pop"}, c) ||
        Match(*tokens, {"/", "(", "(r)", "file", "/PFBDecode", "filter", "cvx", "exec"}, c) ||
        Match(*tokens, {"/", "(", "(r)", "file", "cvx", "exec"}, c)) {
        stub.kind = StubDefinition::Kind::kFontFile;
        stub.name = c[0];
        if (!DeviceFile(c[1], stub.fileName))
            return std::nullopt;
        return stub;
    }
    if (Match(*tokens, {"/", "(", "definesfntfontset", "/FontSet", "defineresource"}, c)) {
        stub.kind = StubDefinition::Kind::kFontSetFile;
        stub.name = c[0];
        if (!DeviceFile(c[1], stub.fileName))
            return std::nullopt;
        return stub;
    }
    if (Match(*tokens, {"/", "/FontSet", "findresource", "pop", "/", "/", "findresource"}, c)) {
        stub.kind = StubDefinition::Kind::kSetMember;
        stub.setName = c[0];
        stub.name = c[1];
        stub.category = c[2];
    } else if (Match(*tokens,
                     {"/", "/FontSet", "findresource", "pop", "/", "/", "/", "findresource", "/",
                      "defineresource"},
                     c)) {
        stub.kind = StubDefinition::Kind::kSetAlias;
        stub.setName = c[0];
        stub.name = c[1];
        stub.aliasOf = c[2];
        stub.category = c[3];
        if (c[4] != c[3])
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (stub.category != "Font" && stub.category != "CIDFont")
        return std::nullopt;
    return stub;
}

int StubNameMatch(std::string_view stubName, std::string_view psName) {
    if (stubName.empty() || psName.empty())
        return -1;
    if (stubName == psName)
        return 0;
    const auto joined = [](std::string_view name) {
        std::string out;
        for (char c : name)
            if (c != '-' && c != ',')
                out += c;
        return out;
    };
    const std::string stub = joined(stubName), ps = joined(psName);
    if (stub.empty())
        return -1;
    if (stub == ps)
        return 1;
    return ps.compare(0, stub.size(), stub) == 0 ? 2 : -1;
}

bool IsPlainName(std::string_view name) {
    if (name.empty())
        return false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x21 || byte > 0x7E || IsDelimiter(c))
            return false;
    }
    return true;
}

std::string PostScriptString(std::string_view text) {
    std::string out = "(";
    for (char c : text) {
        if (c == '\\' || c == '(' || c == ')')
            out += '\\';
        out += c;
    }
    out += ')';
    return out;
}

} // namespace BRASK::FONTMAP
