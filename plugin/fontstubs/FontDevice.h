// The font stub directory of the PostScript interpreter: a resource tree in the shared RIP work folder with a
// one-line stub per installed font and `_edir_` index files, and the font entries of the interpreter's device
// path that announce it.
#pragma once

#include "FontStubError.h"

#include "XFontManager.h"
#include "brask/CoreString.h"
#include "brask/IClassFactory.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace BRASK::IO {
class IURI;
}

namespace BRASK::PLUGIN {

class FontDevice {
public:
    // Builds the tree with the process-wide FakeFontMgr; every file and folder is made through `factory`.
    explicit FontDevice(IClassFactory* factory);
    // Builds the tree with `manager`, which must outlive the device.
    FontDevice(IClassFactory* factory, XF::XFontManager& manager);
    // The same through the process-wide class-factory slot, for callers outside a placement that have set it
    // (the benchmarks).
    explicit FontDevice(XF::XFontManager& manager);
    ~FontDevice();
    FontDevice(const FontDevice&) = delete;
    FontDevice& operator=(const FontDevice&) = delete;

    // The process-wide device, built through `factory` on the first call (thread-safe) and read-only
    // afterwards.
    static FontDevice& Instance(IClassFactory* factory);

    // "%xfont%+<stub root>;%psfont%=<font folders>;", empty when construction stopped early.
    const CoreString& GetFontPathString() const { return fontPathString; }

    FontStubError CreateJawsDirectory(CoreString& parent, CoreString& name, CoreString& outPath,
                                      CoreString& edirDir, CoreString& category);
    FontStubError CreateEdir(const CoreString& dir);
    FontStubError MakeEdirEntry(const CoreString& dir, const unsigned char* name, const char* file);
    void BuildFontPathString();

    FontStubError CreateFontStubFile(unsigned char* psName, const unsigned char* stubName,
                                     const CoreString& fontFile, unsigned long fontType,
                                     unsigned char isEastAsian);
    FontStubError CreateTTCFontStubFile(unsigned char* psName, const unsigned char* stubName,
                                        unsigned char isEastAsian);

    void AddNewFonts();

    const CoreString& WesternFontsDir() const { return westernFontsDir; }
    const CoreString& EAFontsDir() const { return eaFontsDir; }
    const CoreString& FontSetDir() const { return fontSetDir; }
    const std::vector<CoreString>& FontDirs() const { return fontDirs; }

private:
    struct CoreStringLess {
        bool operator()(const CoreString& a, const CoreString& b) const { return a.str() < b.str(); }
    };

    void Build();
    void CollectExistingStubs();
    void DeleteStaleStubs();
    void MarkStub(const std::string& key);
    // Marks the stub keys of a font's name and its variant forms as belonging to an installed font.
    void MarkFontStubs(const std::string& key, bool isEastAsian);
    void AddFontDir(const CoreString& dir);
    // Writes `text` at the end of the file that `uri` names, through a read-write data provider.
    void WriteAtEnd(IO::IURI& uri, const std::string& text);

    CoreString westernFontsDir;
    CoreString eaFontsDir;
    CoreString fontSetDir;
    CoreString fontPathString;
    IClassFactory* factory = nullptr;        // not owned
    XF::XFontManager* fontManager = nullptr; // not owned
    std::vector<CoreString> fontDirs;
    std::set<CoreString, CoreStringLess> stubDirs;
    std::map<std::string, bool> stubFiles;
};

} // namespace BRASK::PLUGIN
