#include "PdfColorAnalysis.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <exception>
#include <set>

namespace BRASK::WRAPPERS {

namespace {

constexpr int kMaxDepth = 8; // nested forms and patterns followed

class ContentScanner : public QPDFObjectHandle::ParserCallbacks {
public:
    ContentScanner(PdfColorReport& report, QPDFObjectHandle resources, int depth,
                   std::set<QPDFObjGen>& visited)
        : mReport(report), mResources(std::move(resources)), mDepth(depth), mVisited(visited) {}

    void handleObject(QPDFObjectHandle object) override {
        if (!object.isOperator()) {
            mOperands.push_back(object);
            return;
        }
        Operator(object.getOperatorValue());
        mOperands.clear();
    }
    void handleEOF() override {}

    void AddSpace(QPDFObjectHandle space, int depth = 0) {
        if (depth > kMaxDepth || space.isNull())
            return;
        if (space.isName()) {
            const std::string name = space.getName();
            if (name == "/DeviceGray" || name == "/G" || name == "/CalGray")
                Add(kJawsColorSpaceGray);
            else if (name == "/DeviceRGB" || name == "/RGB" || name == "/CalRGB")
                Add(kJawsColorSpaceRGB);
            else if (name == "/DeviceCMYK" || name == "/CMYK" || name == "/CalCMYK")
                Add(kJawsColorSpaceCMYK);
            else if (name != "/Pattern")
                AddSpace(Resource("/ColorSpace", name), depth + 1);
            return;
        }
        if (!space.isArray() || space.getArrayNItems() < 1 || !space.getArrayItem(0).isName())
            return;
        const std::string family = space.getArrayItem(0).getName();
        if (family == "/ICCBased")
            Add(kJawsColorSpaceICCBased);
        else if (family == "/Lab")
            Add(kJawsColorSpaceLab);
        else if (family == "/Separation") {
            QPDFObjectHandle colorant =
                space.getArrayNItems() > 1 ? space.getArrayItem(1) : QPDFObjectHandle();
            const std::string name = colorant.isName() ? colorant.getName() : std::string();
            Add(name == "/All"    ? kJawsColorSpaceSeparationAll
                : name == "/None" ? kJawsColorSpaceSeparationNone
                                  : kJawsColorSpaceSeparation);
        } else if (family == "/DeviceN") {
            QPDFObjectHandle attributes =
                space.getArrayNItems() > 4 ? space.getArrayItem(4) : QPDFObjectHandle();
            const bool nchannel = attributes.isDictionary() && attributes.getKey("/Subtype").isName() &&
                                  attributes.getKey("/Subtype").getName() == "/NChannel";
            Add(nchannel ? kJawsColorSpaceNChannel : kJawsColorSpaceDeviceN);
        } else if ((family == "/Indexed" || family == "/I" || family == "/Pattern") &&
                   space.getArrayNItems() > 1)
            AddSpace(space.getArrayItem(1), depth + 1);
        else if (space.getArrayNItems() == 1)
            AddSpace(space.getArrayItem(0), depth + 1);
        else if (family == "/CalRGB")
            Add(kJawsColorSpaceRGB);
        else if (family == "/CalGray")
            Add(kJawsColorSpaceGray);
    }

private:
    void Add(JawsColorSpace space) {
        if (std::find(mReport.spaces.begin(), mReport.spaces.end(), space) == mReport.spaces.end())
            mReport.spaces.push_back(space);
    }

    QPDFObjectHandle Resource(const std::string& category, const std::string& name) {
        if (!mResources.isDictionary())
            return QPDFObjectHandle::newNull();
        QPDFObjectHandle group = mResources.getKey(category);
        if (!group.isDictionary())
            return QPDFObjectHandle::newNull();
        return group.getKey(name);
    }

    QPDFObjectHandle LastName() {
        for (auto it = mOperands.rbegin(); it != mOperands.rend(); ++it) {
            if (it->isName())
                return *it;
        }
        return QPDFObjectHandle::newNull();
    }

    void Operator(const std::string& op) {
        if (mInInlineImage) {
            if (op == "ID")
                InlineImage();
            else if (op == "EI")
                mInInlineImage = false;
            return;
        }
        if (op == "g" || op == "G")
            Add(kJawsColorSpaceGray);
        else if (op == "rg" || op == "RG")
            Add(kJawsColorSpaceRGB);
        else if (op == "k" || op == "K")
            Add(kJawsColorSpaceCMYK);
        else if ((op == "cs" || op == "CS") && !mOperands.empty())
            AddSpace(mOperands.back());
        else if (op == "scn" || op == "SCN") {
            QPDFObjectHandle name = LastName();
            if (name.isName())
                Pattern(Resource("/Pattern", name.getName()));
        } else if (op == "sh") {
            QPDFObjectHandle shading = LastName();
            if (shading.isName()) {
                QPDFObjectHandle dict = Resource("/Shading", shading.getName());
                if (dict.isStream())
                    dict = dict.getDict();
                if (dict.isDictionary())
                    AddSpace(dict.getKey("/ColorSpace"));
            }
            mReport.paintsOther = true;
        } else if (op == "Do")
            XObject();
        else if (op == "BI")
            mInInlineImage = true;
        else if (op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" || op == "b" || op == "b*" ||
                 op == "S" || op == "s" || op == "Tj" || op == "TJ" || op == "'" || op == "\"")
            mReport.paintsOther = true;
    }

    void InlineImage() {
        bool mask = false;
        QPDFObjectHandle space;
        for (std::size_t i = 0; i + 1 < mOperands.size(); i += 2) {
            if (!mOperands[i].isName())
                continue;
            const std::string key = mOperands[i].getName();
            if (key == "/CS" || key == "/ColorSpace")
                space = mOperands[i + 1];
            else if ((key == "/IM" || key == "/ImageMask") && mOperands[i + 1].isBool())
                mask = mOperands[i + 1].getBoolValue();
        }
        if (!mask)
            AddSpace(space);
        mReport.paintsImages = true;
    }

    void XObject() {
        QPDFObjectHandle name = LastName();
        if (!name.isName())
            return;
        QPDFObjectHandle xobject = Resource("/XObject", name.getName());
        if (!xobject.isStream())
            return;
        QPDFObjectHandle dict = xobject.getDict();
        QPDFObjectHandle subtype = dict.getKey("/Subtype");
        if (!subtype.isName())
            return;
        if (subtype.getName() == "/Image") {
            QPDFObjectHandle mask = dict.getKey("/ImageMask");
            if (!(mask.isBool() && mask.getBoolValue()))
                AddSpace(dict.getKey("/ColorSpace"));
            mReport.paintsImages = true;
        } else if (subtype.getName() == "/Form") {
            Nested(xobject);
        }
    }

    void Pattern(QPDFObjectHandle pattern) {
        QPDFObjectHandle dict = pattern.isStream() ? pattern.getDict() : pattern;
        if (!dict.isDictionary())
            return;
        QPDFObjectHandle type = dict.getKey("/PatternType");
        if (type.isInteger() && type.getIntValue() == 2) {
            QPDFObjectHandle shading = dict.getKey("/Shading");
            if (shading.isStream())
                shading = shading.getDict();
            if (shading.isDictionary())
                AddSpace(shading.getKey("/ColorSpace"));
        } else if (pattern.isStream()) {
            Nested(pattern);
        }
    }

    // Scans a form or tiling pattern with its own resources (or the current ones when it has none).
    void Nested(QPDFObjectHandle stream) {
        if (mDepth >= kMaxDepth || !mVisited.insert(stream.getObjGen()).second)
            return;
        QPDFObjectHandle resources = stream.getDict().getKey("/Resources");
        ContentScanner inner(mReport, resources.isDictionary() ? resources : mResources, mDepth + 1,
                             mVisited);
        QPDFObjectHandle::parseContentStream(stream, &inner);
    }

    PdfColorReport& mReport;
    QPDFObjectHandle mResources;
    int mDepth;
    std::set<QPDFObjGen>& mVisited;
    std::vector<QPDFObjectHandle> mOperands;
    bool mInInlineImage = false;
};

} // namespace

bool AnalysePdfColors(const std::string& path, PdfColorReport& report, std::string& error) {
    report = PdfColorReport{};
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (pages.empty()) {
            error = "the PDF has no page";
            return false;
        }
        QPDFPageObjectHelper& page = pages.front();
        std::set<QPDFObjGen> visited;
        ContentScanner scanner(report, page.getAttribute("/Resources", false), 0, visited);
        page.parseContents(&scanner);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        report = PdfColorReport{};
        return false;
    }
}

} // namespace BRASK::WRAPPERS
