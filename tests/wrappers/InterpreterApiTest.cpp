// The interpreter wrapper through its exported C interface, bound with dlopen/dlsym as the plug-in binds it.
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

using namespace BRASK::TEST;

namespace {

class InterpreterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Jaws(), nullptr) << "cannot bind " << JawsLibraryPath();
        ASSERT_EQ(StartJaws(), kJawsOK);
    }
    std::string Out(const std::string& name) const { return (mDir.Path() / name).string(); }
    TempDir mDir;
};

constexpr const char* kSquareCMYK = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n"
                                    "0.1 0.2 0.3 0.4 setcmykcolor 10 10 50 50 rectfill\n";

} // namespace

TEST_F(InterpreterTest, DistilsSmallJobIntoCompletePdfOfTheBoxSize) {
    ASSERT_EQ(DistilText(kSquareCMYK, Out("a.pdf")), kJawsOK);
    const PdfFacts facts = InspectPdf(Out("a.pdf"));
    ASSERT_TRUE(facts.ok) << facts.error;
    EXPECT_EQ(facts.pages, 1);
    EXPECT_NEAR(facts.urx - facts.llx, 200, 0.01);
    EXPECT_NEAR(facts.ury - facts.lly, 100, 0.01);
    std::string report;
    EXPECT_TRUE(QpdfAccepts(Out("a.pdf"), report)) << report;
}
