// Source path and signature texts of the font device's log records.
#pragma once

namespace BRASK::PLUGIN::FONTDEVICELOG {

constexpr char kSource[] = "core/Common/Headers/Jaws/FontDevice";

constexpr char kConstructor[] = "__cdecl BRASK::PLUGIN::FontDevice::FontDevice(void)";
constexpr char kCreateJawsDirectory[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateJawsDirectory(class "
    "BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &,class "
    "BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &)";
constexpr char kCreateEdir[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateEdir(const "
    "class BRASK::STRING::CoreString &)";
constexpr char kMakeEdirEntry[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::MakeEdirEntry(const class "
    "BRASK::STRING::CoreString &,const unsigned char *,const char *)";
constexpr char kCreateFontStubFile[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateFontStubFile(unsigned char "
    "*,const "
    "unsigned char *,const class BRASK::STRING::CoreString &,unsigned long,XFontSpec &,unsigned char)";
constexpr char kCreateTTCFontStubFile[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateTTCFontStubFile(unsigned char "
    "*,const unsigned char *,unsigned char)";
constexpr char kAddNewFonts[] = "void __cdecl BRASK::PLUGIN::FontDevice::AddNewFonts(void)";

} // namespace BRASK::PLUGIN::FONTDEVICELOG
