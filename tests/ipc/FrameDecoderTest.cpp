#include "ipc/FrameDecoder.h"

#include "IpcTestSupport.h"
#include "ipc/CommandFrame.h"

#include <gtest/gtest.h>

namespace quillmark::ipc {
namespace {

using Status = FrameDecoder::Status;
using test::header;
using test::request;

// One input, fed whole and then byte by byte, and what must come of it.
struct FrameCase {
    const char* name;
    QByteArray bytes;
    Status expected;
    std::int32_t code = 0;
    std::uint32_t dwData = 0;
    QByteArray payload;
};

void PrintTo(const FrameCase& row, std::ostream* out) {
    *out << row.name;
}

FrameCase pending(const char* name, const QByteArray& bytes) {
    return {name, bytes, Status::NeedMore, 0, 0, {}};
}

FrameCase refused(const char* name, const QByteArray& bytes) {
    return {name, bytes, Status::Malformed, 0, 0, {}};
}

class FrameDecoderTest : public testing::TestWithParam<FrameCase> {};

void expectFrame(const FrameDecoder& decoder, const FrameCase& c) {
    ASSERT_EQ(decoder.status(), c.expected);
    if (c.expected == Status::Complete) {
        EXPECT_EQ(decoder.frame().code, c.code);
        EXPECT_EQ(decoder.frame().dwData, c.dwData);
        EXPECT_EQ(decoder.frame().payload, c.payload);
        EXPECT_EQ(decoder.bytesWanted(), 0U);
    }
}

TEST_P(FrameDecoderTest, WholeAtOnce) {
    FrameDecoder decoder(kMaxPayloadSize);
    decoder.feed(GetParam().bytes);
    expectFrame(decoder, GetParam());
}

TEST_P(FrameDecoderTest, ByteByByte) {
    FrameDecoder decoder(kMaxPayloadSize);
    for (const char byte : GetParam().bytes) {
        decoder.feed(QByteArrayView(&byte, 1));
    }
    expectFrame(decoder, GetParam());
}

const QByteArray kLongPayload(static_cast<qsizetype>(kMaxPayloadSize), 'p');

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameDecoderTest,
    testing::Values(
        pending("Empty", {}), pending("HalfHeader", header(1, 0, 0).left(6)),
        FrameCase{"HeaderOnlyNoPayload", header(1, 0, 0), Status::Complete, 1, 0, {}},
        FrameCase{"Show", request(1, "show"), Status::Complete, 1, 0, "show"},
        FrameCase{"NegativeCodeAndDwData", request(-5, "x", 0xDEADBEEF), Status::Complete, -5, 0xDEADBEEF, "x"},
        FrameCase{"PayloadWithNul", request(4, QByteArray("a\0b", 3)), Status::Complete, 4, 0, QByteArray("a\0b", 3)},
        pending("TruncatedPayload", header(1, 0, 10) + "abc"),
        FrameCase{"LargestAllowed", request(2, kLongPayload), Status::Complete, 2, 0, kLongPayload},
        refused("OneOverTheLimit", header(2, 0, kMaxPayloadSize + 1)),
        refused("HugeAnnouncement", header(2, 0, 0xFFFFFFFF) + "abc"),
        refused("TrailingBytes", request(1, "show") + "!"), refused("TrailingAfterEmpty", header(1, 0, 0) + '\0'),
        refused("HttpRequest", "GET / HTTP/1.1\r\nHost: x\r\n\r\n"), refused("AllOnes", QByteArray(64, '\xff'))),
    [](const testing::TestParamInfo<FrameCase>& row) { return std::string(row.param.name); });

TEST(FrameDecoderLimitTest, AnAnnouncementOverTheLimitIsRefusedBeforeAnyPayload) {
    FrameDecoder decoder(16);
    EXPECT_EQ(decoder.feed(header(1, 0, 17)), Status::Malformed);
    EXPECT_EQ(decoder.bytesWanted(), 0U);
    EXPECT_EQ(decoder.feed("more"), Status::Malformed);
    FrameDecoder exact(16);
    EXPECT_EQ(exact.feed(request(1, QByteArray(16, 'x'))), Status::Complete);
}

TEST(FrameDecoderLimitTest, BytesWantedCountsDown) {
    FrameDecoder decoder;
    EXPECT_EQ(decoder.bytesWanted(), kFrameHeaderSize);
    decoder.feed(header(1, 0, 3).left(5));
    EXPECT_EQ(decoder.bytesWanted(), 7U);
    decoder.feed(header(1, 0, 3).mid(5));
    EXPECT_EQ(decoder.bytesWanted(), 3U);
    decoder.feed("ab");
    EXPECT_EQ(decoder.bytesWanted(), 1U);
}

TEST(CommandFrameTest, RequestsAndRepliesRoundTripLittleEndian) {
    const QByteArray bytes = encodeRequest({0x01020304, 0x0A0B0C0D, "hi"});
    EXPECT_EQ(bytes, QByteArray("\x04\x03\x02\x01\x0D\x0C\x0B\x0A\x02\x00\x00\x00hi", 14));
    EXPECT_EQ(encodeReply(-2), QByteArray("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(decodeReply(encodeReply(-2)), -2);
    EXPECT_EQ(decodeReply(encodeReply(0x7FFFFFFF)), 0x7FFFFFFF);
    EXPECT_FALSE(decodeReply("abc").has_value());
    EXPECT_FALSE(decodeReply("abcde").has_value());
}

} // namespace
} // namespace quillmark::ipc
