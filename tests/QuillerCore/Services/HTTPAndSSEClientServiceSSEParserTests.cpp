#include "QuillerCore/Services/SSEStreamParser.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using quiller::SSEEventLine;
using quiller::SSEEventReader;
using quiller::SSELineSplitter;
using Lines = std::vector<std::string>;

Lines splitPieces(const std::vector<std::string>& pieces) {
    SSELineSplitter splitter;
    Lines lines;
    const auto collect = [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    for (const std::string& piece : pieces)
        splitter.feed(piece, collect);
    splitter.finish(collect);
    return lines;
}

struct SplitCase {
    std::string name;
    std::vector<std::string> pieces;
    Lines lines;
};

class SSELineSplitterTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SSELineSplitterTest, EndsLinesAtLFCROrCRLFWhereverThePiecesBreak) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(splitPieces(c.pieces), c.lines);

    // The same bytes one at a time: every boundary falls somewhere awkward.
    std::string whole;
    for (const std::string& piece : c.pieces)
        whole += piece;
    std::vector<std::string> bytes;
    for (char c2 : whole)
        bytes.emplace_back(1, c2);
    EXPECT_EQ(splitPieces(bytes), c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Terminators, SSELineSplitterTest,
    testing::Values(SplitCase{"lf", {"a\nb\n"}, {"a", "b"}},
                    SplitCase{"crlf", {"a\r\nb\r\n"}, {"a", "b"}},
                    SplitCase{"cr", {"a\rb\r"}, {"a", "b"}},
                    SplitCase{"crThenLfInNextPiece", {"a\r", "\nb\r", "\n"}, {"a", "b"}},
                    SplitCase{"crThenOtherPiece", {"a\r", "b\n"}, {"a", "b"}},
                    SplitCase{"blankLinesKept", {"a\n\n\r\n\r\rb\n"}, {"a", "", "", "", "", "b"}},
                    SplitCase{"lfCrIsTwoEnds", {"a\n\rb"}, {"a", "", "b"}},
                    SplitCase{"lastLineUnterminated", {"a\nta", "il"}, {"a", "tail"}},
                    SplitCase{"lineAcrossPieces", {"da", "ta: ", "1\n"}, {"data: 1"}},
                    SplitCase{"emptyPieces", {"", "a", "", "\r", "", "\n", ""}, {"a"}},
                    SplitCase{"nothing", {}, {}}),
    [](const testing::TestParamInfo<SplitCase>& param) { return param.param.name; });

TEST(SSELineSplitter, AHandlerCanStopInTheMiddleOfAPiece) {
    SSELineSplitter splitter;
    Lines lines;
    EXPECT_FALSE(splitter.feed("one\ntwo\nthree\n", [&](std::string_view line) {
        lines.emplace_back(line);
        return line != "two";
    }));
    EXPECT_EQ(lines, (Lines{"one", "two"}));
}

std::vector<SSEEventLine> readAll(const Lines& lines) {
    SSEEventReader reader;
    std::vector<SSEEventLine> events;
    for (const std::string& line : lines)
        if (auto event = reader.read(line))
            events.push_back(*event);
    return events;
}

TEST(SSEEventReader, EachDataLineIsAnEventOfTheCurrentType) {
    EXPECT_EQ(readAll({"event: tick", "data: 1", "data: 2", "", "data: 3"}),
              (std::vector<SSEEventLine>{{"tick", "1"}, {"tick", "2"}, {"tick", "3"}}));
    EXPECT_EQ(readAll({"data: a", "event:\tb\t", "data: c", "", "event:", "data: d"}),
              (std::vector<SSEEventLine>{{"message", "a"}, {"b", "c"}, {"", "d"}}));
}

TEST(SSEEventReader, TrimsBlanksAndTabsAndIgnoresOtherLines) {
    EXPECT_EQ(
        readAll({"data:hello", "data:  hello \t", "data:", "data: \xff!", "Data: no", " data: no",
                 "id: 7", "retry: 100", ": data: comment", "event"}),
        (std::vector<SSEEventLine>{
            {"message", "hello"}, {"message", "hello"}, {"message", ""}, {"message", "\uFFFD!"}}));
}

} // namespace
