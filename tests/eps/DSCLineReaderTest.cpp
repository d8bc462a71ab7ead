// Comment lines through the buffer, and the backward search for "%%Trailer".
#include "EpsTestSupport.h"

#include "eps/DSCReader.h"

#include "brask/TObject.h"

#include <cstring>

namespace BRASK::PLUGIN::TEST {

namespace {

// Forwards to a real provider and counts what is read through it.
class CountingProvider : public TObject<IO::IDataProvider> {
public:
    explicit CountingProvider(IO::IDataProvider* inner) : mInner(inner) {}
    std::int32_t GetSize() override { return mInner->GetSize(); }
    std::int32_t GetPosition() override { return mInner->GetPosition(); }
    Status SetPosition(std::int32_t offset, std::int32_t origin) override {
        return mInner->SetPosition(offset, origin);
    }
    Status Read(void* buffer, std::uint32_t& count) override {
        ++reads;
        const Status status = mInner->Read(buffer, count);
        bytes += count;
        return status;
    }
    Status Write(const void* buffer, std::uint32_t count) override { return mInner->Write(buffer, count); }

    int reads = 0;
    std::uint64_t bytes = 0;

private:
    TInterfacePtr<IO::IDataProvider> mInner{nullptr};
};

std::string LineText(const DSCReader::LineBuffer& line) {
    const auto* text = reinterpret_cast<const char*>(line.data());
    return std::string(text, std::strlen(text));
}

// Reads lines of one file with a buffer of its own, as the scan does.
class LineReading {
public:
    LineReading(IO::IDataProvider* provider, std::int32_t fill = DSCReader::kBufferSize)
        : reader(provider), buffer(DSCReader::kBufferSize), length(fill), index(fill) {
        EXPECT_EQ(reader.SetUpFileParsing(), DSCNoError);
        position = reader.Position();
    }

    DSCError Next(bool skipNonComments = false) {
        const DSCError result =
            reader.ReadDSCComment(position, skipNonComments, line, buffer.data(), length, index, count);
        position += count > 0 ? count : -count;
        return result;
    }
    DSCError Trailer() { return reader.SearchForTrailer(position, line, buffer.data(), length, index); }
    std::string Text() const { return LineText(line); }

    DSCReader reader;
    std::vector<std::uint8_t> buffer;
    std::int32_t length;
    std::int32_t index;
    std::int32_t position = 0;
    std::int32_t count = 0;
    DSCReader::LineBuffer line{};
};

} // namespace

using DSCLines = EpsTest;

TEST_F(DSCLines, CarriageReturnLineFeedAndBothEndLinesAlike) {
    auto provider = Open(WriteFile("ends.eps", "%%A: 1\r\n%%B: 2\r%%C: 3\n%%D: 4"));
    LineReading lines(provider.Get());
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%A: 1\r");
    EXPECT_EQ(lines.count, 8);
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%B: 2\r");
    EXPECT_EQ(lines.count, 7);
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%C: 3\r");
    EXPECT_EQ(lines.count, 7);
    // The last line ends with the data: its text is kept, its count is negative.
    EXPECT_EQ(lines.Next(), DSCEndOfData);
    EXPECT_EQ(lines.Text(), "%%D: 4\r");
    EXPECT_EQ(lines.count, -6);
}

TEST_F(DSCLines, LongLineIsCutAt1198CharactersAndCountedWhole) {
    const std::string longLine = "%%" + std::string(1498, 'x');
    auto provider = Open(WriteFile("long.eps", longLine + "\r\n%%Next\n"));
    LineReading lines(provider.Get());
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.count, 1502);
    EXPECT_EQ(lines.Text(), longLine.substr(0, 1198) + "\r");
    EXPECT_EQ(lines.line[1199], 0);
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%Next\r");
}

TEST_F(DSCLines, BlankLinesAndLeadingBlanksCostBytesButNeverEndARead) {
    auto provider = Open(WriteFile("blank.eps", "\n\r\n \t\n \t%%X\n"));
    LineReading lines(provider.Get());
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%X\r");
    EXPECT_EQ(lines.count, 1 + 2 + 3 + 6);
}

TEST_F(DSCLines, HeaderLinesAndSkippedCodeLines) {
    auto provider = Open(WriteFile("skip.eps", "%!PS-Adobe-3.0\nnewpath\n0 0 moveto\n%%Y\nstroke\n"));
    LineReading lines(provider.Get());
    // "%!" lines are never delivered; a code line is, with a negative count.
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "newpath\r");
    EXPECT_EQ(lines.count, -(15 + 8));
    // With skipNonComments the code lines before the next comment go in the same read.
    ASSERT_EQ(lines.Next(true), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%Y\r");
    EXPECT_EQ(lines.count, 11 + 4);
}

TEST_F(DSCLines, TrailerLineAtABufferRefillKeepsTheBytesAfterIt) {
    auto provider = Open(WriteFile("refill.eps", "%%Trailer\n%%BoundingBox: 1 2 3 4\n%%EOF\n"));
    // Fills of 9 bytes: the marker line is complete when the next fill arrives.
    LineReading lines(provider.Get(), 9);
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%Trailer\r");
    EXPECT_EQ(lines.count, 10);
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%BoundingBox: 1 2 3 4\r");
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%EOF\r");
}

TEST_F(DSCLines, TrailerWithTrailingBlanksIsFoundAndReadingGoesOnAfterIt) {
    const std::string head = "%!PS-Adobe-3.0\n%%BoundingBox: (atend)\n%%EndComments\nnewpath\n";
    auto provider = Open(WriteFile("trailer.eps", head + "%%Trailer \t \r\n%%BoundingBox: 1 2 3 4\n%%EOF\n"));
    LineReading lines(provider.Get());
    ASSERT_EQ(lines.Trailer(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%Trailer \t \r");
    EXPECT_EQ(lines.position, static_cast<std::int32_t>(head.size() + 14));
    ASSERT_EQ(lines.Next(), DSCNoError);
    EXPECT_EQ(lines.Text(), "%%BoundingBox: 1 2 3 4\r");
}

TEST_F(DSCLines, TrailerFollowedByOtherTextIsNotFound) {
    auto provider = Open(WriteFile("notrailer.eps", "%!PS\n%%EndComments\n%%Trailer stuff\n%%EOF\n"));
    LineReading lines(provider.Get());
    EXPECT_EQ(lines.Trailer(), DSCEndOfData);
}

TEST_F(DSCLines, TrailerIsSearchedBlockByBlockButNotBeforeThePosition) {
    // 200 000 bytes of code after the trailer: the marker lies in the fourth block from the end.
    const std::string head = "%!PS\n%%EndComments\n";
    std::string code;
    while (code.size() < 200000)
        code += "0 0 moveto 10 10 lineto stroke\n";
    const std::string text = head + "%%Trailer\n" + code + "%%EOF\n";
    auto provider = Open(WriteFile("far.eps", text));
    LineReading lines(provider.Get());
    ASSERT_EQ(lines.Trailer(), DSCNoError);
    EXPECT_EQ(lines.position, static_cast<std::int32_t>(head.size() + 10));

    // Searching from after the marker finds nothing.
    LineReading later(provider.Get());
    later.position = static_cast<std::int32_t>(head.size() + 11);
    EXPECT_EQ(later.Trailer(), DSCEndOfData);
}

TEST_F(DSCLines, ShortSectionIsSearchedInOneBlock) {
    auto file = Open(WriteFile("short.eps", "%!PS\n%%EndComments\nx\n%%Trailer\n%%EOF\n"));
    TInterfacePtr<CountingProvider> counting;
    counting.Adopt(new CountingProvider(file.Get()));
    LineReading lines(counting.Get());
    const int readsBefore = counting->reads;
    ASSERT_EQ(lines.Trailer(), DSCNoError);
    // One backward block, then one refill to read the marker line.
    EXPECT_EQ(counting->reads - readsBefore, 2);
}

} // namespace BRASK::PLUGIN::TEST
