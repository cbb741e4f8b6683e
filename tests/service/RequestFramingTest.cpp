#include "RequestFraming.h"

#include <gtest/gtest.h>

using PlenvoService::FrameRequest;
using PlenvoService::RequestFrame;
using State = RequestFrame::State;

namespace {
constexpr size_t kHead = 1024, kBody = 100;
}

// A request ends where its head says, not where the bytes received so far end: the bytes of
// the next pipelined request stay for it, and a request is not complete one byte early.
TEST(RequestFramingTest, TheHeadDecidesWhereARequestEnds) {
    std::string post = "POST /a HTTP/1.1\r\ncontent-length:  5 \r\n\r\nhello";
    EXPECT_EQ(FrameRequest(post.substr(0, post.size() - 1), kHead, kBody).state, State::Incomplete);
    RequestFrame frame = FrameRequest(post + "GET /b HTTP/1.1\r\n", kHead, kBody);
    EXPECT_EQ(frame.state, State::Complete);
    EXPECT_EQ(frame.length, post.size());
    EXPECT_FALSE(frame.bodyRefused);

    std::string get = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";
    frame = FrameRequest(get + get, kHead, kBody);
    EXPECT_EQ(frame.length, get.size());

    std::string chunked = "POST /a HTTP/1.1\r\nTransfer-Encoding: Chunked\r\n\r\n"
                          "5;ext=1\r\nhello\r\nA\r\n0123456789\r\n0\r\nTrailer: t\r\n\r\n";
    for (size_t cut = 40; cut < chunked.size(); ++cut)
        ASSERT_EQ(FrameRequest(chunked.substr(0, cut), kHead, kBody).state, State::Incomplete)
            << cut;
    frame = FrameRequest(chunked + "GET", kHead, kBody);
    EXPECT_EQ(frame.state, State::Complete);
    EXPECT_EQ(frame.length, chunked.size());
}

// What cannot be taken whole is handed on as a head alone (its handler refuses it) or refused
// outright, never buffered without end.
TEST(RequestFramingTest, OversizedOrBrokenRequestsAreNotBuffered) {
    RequestFrame frame =
        FrameRequest("POST /a HTTP/1.1\r\nContent-Length: 101\r\n\r\nabc", kHead, kBody);
    EXPECT_EQ(frame.state, State::Complete);
    EXPECT_TRUE(frame.bodyRefused);
    EXPECT_EQ(frame.length, frame.headLength);

    for (const char* length : {"-1", "12x", "99999999999999999999", ""}) {
        frame =
            FrameRequest(std::string("POST /a HTTP/1.1\r\nContent-Length: ") + length + "\r\n\r\n",
                         kHead, kBody);
        EXPECT_TRUE(frame.bodyRefused) << length;
    }
    std::string chunks = "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    EXPECT_TRUE(FrameRequest(chunks + "zz\r\n", kHead, kBody).bodyRefused);
    EXPECT_TRUE(FrameRequest(chunks + "5\r\nhelloX\r\n", kHead, kBody).bodyRefused);
    std::string many = chunks;
    for (int i = 0; i < 30; ++i)
        many += "5\r\nhello\r\n";
    EXPECT_TRUE(FrameRequest(many, kHead, kBody).bodyRefused);

    EXPECT_EQ(FrameRequest(std::string(kHead + 1, 'a'), kHead, kBody).state, State::HeadTooLarge);
    EXPECT_EQ(
        FrameRequest("GET / HTTP/1.1\r\nX: " + std::string(kHead, 'a') + "\r\n\r\n", kHead, kBody)
            .state,
        State::HeadTooLarge);
}

// "Expect: 100-continue" matters only while the body has not started to arrive.
TEST(RequestFramingTest, ContinueIsExpectedOnlyBeforeTheBody) {
    std::string head = "POST /a HTTP/1.1\r\nExpect: 100-Continue\r\nContent-Length: 3\r\n\r\n";
    EXPECT_TRUE(FrameRequest(head, kHead, kBody).expectsContinue);
    EXPECT_FALSE(FrameRequest(head + "a", kHead, kBody).expectsContinue);
    EXPECT_EQ(FrameRequest(head + "abc", kHead, kBody).state, State::Complete);
}
