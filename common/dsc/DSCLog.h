// Source path and function texts under which the DSC reader logs.
#pragma once

namespace BRASK::PLUGIN::DSCLOG {

inline constexpr const char* kSource = "core/Common/Constructs/Graphics/Plugins/Rip/DSC Reader";
inline constexpr const char* kSetUpFileParsing =
    "BRASK::PLUGIN::DSCError __cdecl BRASK::PLUGIN::DSCReader::SetUpFileParsing(void)";
inline constexpr const char* kReadDSCComment =
    "BRASK::PLUGIN::DSCError __cdecl BRASK::PLUGIN::DSCReader::ReadDSCComment(long,unsigned "
    "char,short,unsigned "
    "char,unsigned char *,unsigned char *,long *,long *,long &)";
inline constexpr const char* kSearchForTrailer =
    "BRASK::PLUGIN::DSCError __cdecl BRASK::PLUGIN::DSCReader::SearchForTrailer(long *,short,unsigned char "
    "*,unsigned char *,long *,long *)";
inline constexpr const char* kUndoPSStr = "void __cdecl BRASK::PLUGIN::DSCReader::UndoPSStr(const unsigned "
                                          "char *,const unsigned long &,unsigned char "
                                          "*,unsigned char)";
inline constexpr const char* kGetEPSInfo =
    "BRASK::PLUGIN::DSCError __cdecl BRASK::PLUGIN::DSCReader::GetEPSInfo(unsigned char *,short,"
    "BRASK::PLUGIN::DSCReader::ParseDSCCommentsFlags)";

} // namespace BRASK::PLUGIN::DSCLOG
