#include "PdfInspect.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <set>

namespace BRASK::TEST {

namespace {

void CollectFonts(QPDFObjectHandle resources, std::set<std::string>& fonts, bool& embedded, int depth) {
    if (depth > 6 || !resources.isDictionary())
        return;
    QPDFObjectHandle fontDict = resources.getKey("/Font");
    if (fontDict.isDictionary()) {
        for (const std::string& key : fontDict.getKeys()) {
            QPDFObjectHandle font = fontDict.getKey(key);
            if (!font.isDictionary())
                continue;
            QPDFObjectHandle base = font.getKey("/BaseFont");
            if (base.isName())
                fonts.insert(base.getName());
            QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
            QPDFObjectHandle subtype = font.getKey("/Subtype");
            if (subtype.isName() && subtype.getName() == "/Type0") {
                QPDFObjectHandle descendants = font.getKey("/DescendantFonts");
                if (descendants.isArray() && descendants.getArrayNItems() > 0)
                    descriptor = descendants.getArrayItem(0).getKey("/FontDescriptor");
            }
            if (subtype.isName() && subtype.getName() != "/Type3" && descriptor.isDictionary() &&
                !descriptor.hasKey("/FontFile") && !descriptor.hasKey("/FontFile2") &&
                !descriptor.hasKey("/FontFile3"))
                embedded = false;
        }
    }
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (xobjects.isDictionary()) {
        for (const std::string& key : xobjects.getKeys()) {
            QPDFObjectHandle x = xobjects.getKey(key);
            if (x.isStream() && x.getDict().getKey("/Subtype").isName() &&
                x.getDict().getKey("/Subtype").getName() == "/Form")
                CollectFonts(x.getDict().getKey("/Resources"), fonts, embedded, depth + 1);
        }
    }
}

} // namespace

PdfFacts InspectPdf(const std::string& path) {
    PdfFacts facts;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        facts.version = pdf.getPDFVersion();
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        facts.pages = static_cast<int>(pages.size());
        if (pages.empty()) {
            facts.error = "no page";
            return facts;
        }
        QPDFObjectHandle box = pages.front().getCropBox(false, false);
        if (!box.isArray() || box.getArrayNItems() != 4) {
            facts.error = "no page box";
            return facts;
        }
        double v[4];
        for (int i = 0; i < 4; ++i)
            v[i] = box.getArrayItem(i).getNumericValue();
        facts.llx = std::min(v[0], v[2]);
        facts.lly = std::min(v[1], v[3]);
        facts.urx = std::max(v[0], v[2]);
        facts.ury = std::max(v[1], v[3]);
        for (QPDFObjectHandle& stream : pages.front().getPageContents()) {
            std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
            facts.content.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        }
        std::set<std::string> fonts;
        CollectFonts(pages.front().getAttribute("/Resources", false), fonts, facts.AllFontsEmbedded, 0);
        facts.fonts.assign(fonts.begin(), fonts.end());
        facts.ok = true;
    } catch (const std::exception& e) {
        facts.error = e.what();
    }
    return facts;
}

bool QpdfAccepts(const std::string& path, std::string& report) {
    int code = 0;
    report = RunCommand("qpdf --check " + ShellQuote(path) + " 2>&1", code);
    return code == 0;
}

std::string PdfToText(const std::string& path) {
    int code = 0;
    return RunCommand("pdftotext -q " + ShellQuote(path) + " - 2>/dev/null", code);
}

} // namespace BRASK::TEST
