// The colour-space report read back from PDFs built here with qpdf: every kind of space and painting operator
// the analysis knows, including those the distiller seldom writes (Lab, Indexed, patterns, shadings, forms,
// inline images).
#include "PdfColorAnalysis.h"

#include "../support/TempDir.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

using BRASK::WRAPPERS::AnalysePdfColors;
using BRASK::WRAPPERS::PdfColorReport;

namespace {

// Writes a one-page PDF with `content` and the resources dictionary given as PDF text, where "{N}" names the
// indirect stream number N of `streams` (created in order).
std::string MakePdf(const std::filesystem::path& folder, const std::string& name, const std::string& content,
                    const std::vector<std::pair<std::string, std::string>>& streams, std::string resources) {
    QPDF pdf;
    pdf.emptyPDF();
    for (std::size_t i = 0; i < streams.size(); ++i) {
        QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, streams[i].second);
        QPDFObjectHandle dict = QPDFObjectHandle::parse(streams[i].first);
        for (const std::string& key : dict.getKeys())
            stream.getDict().replaceKey(key, dict.getKey(key));
        const std::string marker = "{" + std::to_string(i) + "}";
        const std::string ref = std::to_string(stream.getObjectID()) + " 0 R";
        for (std::size_t at; (at = resources.find(marker)) != std::string::npos;)
            resources.replace(at, marker.size(), ref);
    }
    QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        &pdf, "<< /Type /Page /MediaBox [0 0 100 100] /Resources " + resources + " >>"));
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
    pdf.addPage(page, true);
    const std::string path = (folder / name).string();
    QPDFWriter writer(pdf, path.c_str());
    writer.write();
    return path;
}

PdfColorReport Analyse(const std::string& path) {
    PdfColorReport report;
    std::string error;
    EXPECT_TRUE(AnalysePdfColors(path, report, error)) << error;
    return report;
}

} // namespace

TEST(PdfColorAnalysisTest, ReportsEachSpaceOnceInOrderOfFirstUse) {
    BRASK::TEST::TempDir dir;
    const std::string resources =
        "<< /ColorSpace << /L [/Lab << /WhitePoint [0.95 1 1.09] >>] /I [/Indexed /DeviceCMYK 1 "
        "<00000000FFFFFFFF>]"
        " /S [/Separation /All /DeviceGray << /FunctionType 2 /Domain [0 1] /N 1 >>] /N [/DeviceN [/A /B] "
        "/DeviceRGB << /FunctionType 2 /Domain [0 1] /N 1 >> << /Subtype /NChannel >>]"
        " /C [/CalRGB << /WhitePoint [0.95 1 1.09] >>] >> >>";
    const std::string path =
        MakePdf(dir.Path(), "spaces.pdf",
                "0 g 0 0 10 10 re f 1 0 0 rg /L cs 50 0 0 sc /I CS 1 SC /S cs 1 sc /N cs 0 0 sc "
                "/C cs 1 1 1 sc /DeviceGray cs 0 sc 0 0 1 1 re S",
                {}, resources);
    const PdfColorReport report = Analyse(path);
    EXPECT_EQ(report.spaces,
              (std::vector<JawsColorSpace>{kJawsColorSpaceGray, kJawsColorSpaceRGB, kJawsColorSpaceLab,
                                           kJawsColorSpaceCMYK, kJawsColorSpaceSeparationAll,
                                           kJawsColorSpaceNChannel}));
    EXPECT_FALSE(report.RasterOnly());
}

TEST(PdfColorAnalysisTest, FollowsImagesFormsPatternsAndShadings) {
    BRASK::TEST::TempDir dir;
    const std::string resources =
        "<< /XObject << /Im {0} /Fm {1} /Mask {2} >> /Pattern << /P {3} >> /Shading << /Sh << /ShadingType 2 "
        "/ColorSpace [/ICCBased {4}] /Coords [0 0 1 0] /Function << /FunctionType 2 /Domain [0 1] /N 1 >> >> "
        ">> >>";
    const std::vector<std::pair<std::string, std::string>> streams = {
        {"<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 8 /ColorSpace /DeviceCMYK "
         ">>",
         std::string(4, '\0')},
        {"<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] /Resources << /ColorSpace << /Sp [/Separation "
         "/Gold "
         "/DeviceCMYK << /FunctionType 2 /Domain [0 1] /N 1 >>] >> >> >>",
         "/Sp cs 1 sc 0 0 5 5 re f"},
        {"<< /Type /XObject /Subtype /Image /Width 1 /Height 1 /BitsPerComponent 1 /ImageMask true >>",
         std::string(1, '\0')},
        {"<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 2 2] /XStep 2 /YStep 2 /Resources << >> >>",
         "0.5 g 0 0 1 1 re f"},
        {"<< /N 3 >>", std::string(16, '\0')},
    };
    const std::string both = MakePdf(
        dir.Path(), "mixed.pdf", "/Im Do /Fm Do /Pattern cs /P scn 0 0 5 5 re f /Sh sh", streams, resources);
    PdfColorReport report = Analyse(both);
    EXPECT_EQ(report.spaces, (std::vector<JawsColorSpace>{kJawsColorSpaceCMYK, kJawsColorSpaceSeparation,
                                                          kJawsColorSpaceGray, kJawsColorSpaceICCBased}));
    EXPECT_TRUE(report.paintsImages);
    EXPECT_FALSE(report.RasterOnly());

    // Images only, one of them a mask and one inline: a raster job.
    const std::string images =
        MakePdf(dir.Path(), "images.pdf",
                "q 10 0 0 10 0 0 cm /Im Do /Mask Do Q BI /W 1 /H 1 /BPC 8 /CS /RGB ID \x01\x02\x03 EI",
                streams, resources);
    report = Analyse(images);
    EXPECT_TRUE(report.RasterOnly());
    EXPECT_EQ(report.spaces, (std::vector<JawsColorSpace>{kJawsColorSpaceCMYK, kJawsColorSpaceRGB}));
}

TEST(PdfColorAnalysisTest, UnreadableFilesAreRefusedWithAReason) {
    BRASK::TEST::TempDir dir;
    PdfColorReport report;
    std::string error;
    EXPECT_FALSE(AnalysePdfColors((dir.Path() / "absent.pdf").string(), report, error));
    EXPECT_FALSE(error.empty());
}
