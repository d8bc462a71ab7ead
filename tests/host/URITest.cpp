// Parsing of URI texts.
#include "HostTestSupport.h"

namespace BRASK::HOST::TEST {
namespace {

struct UriCase {
    const char* text;
    bool accepted;
    const char* scheme;
    const char* path;
};

const UriCase kCases[] = {
    {"file:///tmp/a.eps", true, "file", "/tmp/a.eps"},
    {"file:///tmp/a%20b%C3%BC.eps", true, "file", "/tmp/a b\xC3\xBC.eps"},
    {"file:///tmp/100%", true, "file", "/tmp/100%"},
    {"file:///tmp/x%zz", true, "file", "/tmp/x%zz"},
    {"file://localhost/var/x", true, "file", "/var/x"},
    {"file:/abs/path", true, "file", "/abs/path"},
    {"FILE:///Upper", true, "file", "/Upper"},
    {"/plain/absolute path%20.eps", true, "file", "/plain/absolute path%20.eps"},
    {"/", true, "file", "/"},
    {"http://example.org/a.eps", true, "http", "//example.org/a.eps"},
    {"urn:isbn:0451450523", true, "urn", "isbn:0451450523"},
    {"mem+x.y-z:block", true, "mem+x.y-z", "block"},
    {"", false, "", ""},
    {"relative/path.eps", false, "", ""},
    {"file:relative", false, "", ""},
    {"file://", false, "", ""},
    {"file://remotehost/x", false, "", ""},
    {"file:///tmp/nul%00byte", false, "", ""},
    {"1abc:foo", false, "", ""},
    {":nothing", false, "", ""},
};

class UriTable : public HostTest, public ::testing::WithParamInterface<UriCase> {};

TEST_P(UriTable, SetTextSplitsSchemeAndPath) {
    const UriCase& c = GetParam();
    auto uri = Make<IO::IURI>(CLSID::URI);
    const Status status = uri->SetText(CoreString::FromUTF8(c.text));
    if (!c.accepted) {
        EXPECT_EQ(status, kBadArgument) << c.text;
        EXPECT_TRUE(uri->GetText().empty());
        return;
    }
    EXPECT_EQ(status, kOK) << c.text;
    EXPECT_EQ(Utf8(uri->GetScheme()), c.scheme);
    EXPECT_EQ(Utf8(uri->GetPath()), c.path);
    EXPECT_EQ(Utf8(uri->GetText()), c.text);
}

INSTANTIATE_TEST_SUITE_P(Texts, UriTable, ::testing::ValuesIn(kCases));

using UriTest = HostTest;

TEST_F(UriTest, RefusedTextKeepsThePreviousURI) {
    auto uri = Make<IO::IURI>(CLSID::URI);
    ASSERT_EQ(uri->SetText(u"/tmp/first.eps"), kOK);
    EXPECT_EQ(uri->SetText(u"not a uri"), kBadArgument);
    EXPECT_EQ(uri->GetPath(), CoreString(u"/tmp/first.eps"));
    EXPECT_EQ(uri->GetScheme(), CoreString(u"file"));
}

TEST_F(UriTest, NonAsciiPathsSurviveAsUtf16) {
    auto uri = Make<IO::IURI>(CLSID::URI);
    const CoreString path(u"/tmp/Gr\u00FC\u00DFe \u20AC \U0001F600.eps");
    ASSERT_EQ(uri->SetText(path), kOK);
    EXPECT_EQ(uri->GetPath(), path);
    EXPECT_EQ(Utf8(uri->GetPath()), "/tmp/Gr\xC3\xBC\xC3\x9F"
                                    "e \xE2\x82\xAC \xF0\x9F\x98\x80.eps");
}

} // namespace
} // namespace BRASK::HOST::TEST
