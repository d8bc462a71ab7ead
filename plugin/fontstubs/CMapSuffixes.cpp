#include "CMapSuffixes.h"

namespace BRASK::PLUGIN {

// Order matters where one entry contains another: the longer one comes first.
const std::array<const char*, kCMapSuffixCount> kCMapSuffixes = {
    "-83pv-RKSJ-H",      "-Identity-H",        "-90pv-RKSJ-H",     "-90ms-RKSJ-H",     "-KSCpc-EUC-H",
    "-KSCms-UHC-H",      "-90msp-RKSJ-H",      "-GBK-EUC-H",       "-GBpc-EUC-H",      "-B5pc-H",
    "-ETen-B5-H",        "-90pv-RKSJ-V",       "-90msp-RKSJ-V",    "-90ms-RKSJ-UCS2",  "-90ms-RKSJ-V",
    "-90pv-RKSJ-UCS2",   "-90pv-RKSJ-UCS2C",   "-78-V",            "-78-RKSJ-V",       "-78-RKSJ-H",
    "-78ms-RKSJ-H",      "-78ms-RKSJ-V",       "-78-H",            "-78-EUC-V",        "-78-EUC-H",
    "-Adobe-CNS1-UCS2",  "-Adobe-GB1-UCS2",    "-Adobe-Korea1-UCS2", "-Add-V",         "-Add-H",
    "-Add-RKSJ-H",       "-Add-RKSJ-V",        "-B5pc-V",          "-B5-V",            "-B5-H",
    "-B5pc-UCS2C",       "-CNS-EUC-V",         "-CNS2-H",          "-CNS-EUC-H",       "-CNS1-H",
    "-ETHK-B5-H",        "-ETenms-B5-H",       "-ETen-B5-UCS2",    "-Ext-RKSJ-H",      "-Ext-H",
    "-EUC-H",            "-GBK2K-H",           "-GBK-EUC-UCS2",    "-GB-H",            "-GB-EUC-H",
    "-GBpc-EUC-UCS2",    "-GBpc-EUC-UCS2C",    "-GBKp-EUC-H",      "-GBTpc-EUC-H",     "-GBT-H",
    "-GBT-EUC-H",        "-Hankaku",           "-Hojo-EUC-H",      "-HKdla-B5-H",      "-HKm314-B5-H",
    "-HKm471-B5-H",      "-Hiragana",          "-HKgccs-B5-H",     "-HKscs-B5-H",      "-HKdlb-B5-H",
    "-Katakana",         "-Hojo-H",            "-KSCms-UHC-UCS2",  "-KSCms-UHC-HW-H",  "-KSC-Johab-H",
    "-KSCpc-EUC-UCS2C",  "-KSC-EUC-H",         "-KSCpc-EUC-UCS2",  "-RKSJ-H",          "-NWP-H",
    "-Roman",            "-KSC-H",             "-UniCNS-UTF32-H",  "-UniCNS-UTF8-H",   "-UniCNS-UTF16-H",
    "-UniCNS-UCS2-H",    "-UniGB-UTF8-H",      "-UniGB-UTF16-H",   "-UniGB-UTF32-H",   "-UniGB-UCS2-H",
    "-UniJIS-UCS2-H",    "-UniJIS-UCS2-HW-H",  "-UniKS-UTF16-H",   "-UniKS-UCS2-H",    "-UniJIS-UTF16-H",
    "-WP-Symbol",
};

const char* FindCMapSuffix(std::string_view name) {
    for (const char* suffix : kCMapSuffixes)
        if (name.find(suffix) != std::string_view::npos)
            return suffix;
    return nullptr;
}

} // namespace BRASK::PLUGIN
