// Decoding of PostScript string literals such as custom colour names.
#include "DSCLog.h"
#include "DSCReader.h"

#include "brask/Logger.h"

namespace BRASK::PLUGIN {

namespace {

bool IsOctalDigit(std::uint8_t c) {
    return c >= '0' && c <= '7';
}

void LogUnbalanced() {
    BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kUndoPSStr, "Parens unbalanced in Postsript string.");
}

} // namespace

void DSCReader::UndoPSStr(const std::uint8_t* text, std::size_t length, std::uint8_t* out) {
    if (text == nullptr || out == nullptr) {
        BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kUndoPSStr, "NULL strings passed in.");
        return;
    }
    out[0] = 0;
    std::size_t open = 0;
    while (open < length && text[open] != '(')
        ++open;
    if (open >= length)
        return;
    std::size_t close = length;
    while (close > open + 1 && text[close - 1] != ')')
        --close;
    if (close <= open + 1)
        return;
    --close; // index of the last ")"
    const std::uint8_t* content = text + open + 1;
    const std::size_t n = close - open - 1;
    if (n == 0)
        return;

    std::size_t written = 0;
    int depth = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint8_t c = content[k];
        if (c != '\\') {
            if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (--depth < 0)
                    LogUnbalanced();
            }
            out[written++] = c;
            continue;
        }
        if (k == n - 1)
            break;
        const std::uint8_t d = content[++k];
        switch (d) {
        case '(':
        case ')':
        case '\\':
            out[written++] = d;
            break;
        case '\r':
            if (k + 1 < n && content[k + 1] == '\n')
                ++k;
            break;
        case '\n':
            if (k + 1 < n && content[k + 1] == '\r')
                ++k;
            break;
        default:
            if (IsOctalDigit(d)) {
                unsigned value = d - '0';
                for (int more = 0; more < 2 && k + 1 < n && IsOctalDigit(content[k + 1]); ++more)
                    value = value * 8 + (content[++k] - '0');
                if ((value & 0xFF) != 0)
                    out[written++] = static_cast<std::uint8_t>(value & 0xFF);
            } else {
                BRASK_LOG_ERROR(DSCLOG::kSource, DSCLOG::kUndoPSStr,
                                "Unknown escape sequence or end of string encountered");
                out[written++] = d;
            }
            break;
        }
    }
    if (depth != 0)
        LogUnbalanced();
    out[written] = 0;
}

} // namespace BRASK::PLUGIN
