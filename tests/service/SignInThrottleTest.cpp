#include "RawConnection.h"
#include "ServiceFixture.h"

#include <atomic>

using namespace PlenvoServiceTest;
using namespace std::chrono_literals;

namespace {
const std::string kWrong = "教师编号、姓名或密码不正确";
}

// The service's clock stands still unless the test moves it.
class SignInThrottleTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        options_.clock = [this] {
            return std::chrono::steady_clock::time_point(std::chrono::hours(1000)) +
                   std::chrono::milliseconds(clockMs_.load());
        };
        Restart();
    }
    void Advance(std::chrono::milliseconds by) { clockMs_ += by.count(); }

    // A sign-in from the given loopback address; the reply's error, or "ok".
    std::string SignInFrom(const std::string& address, const std::string& number,
                           const std::string& password, const std::string& name = "王老师") {
        RawConnection connection(port_, address);
        std::string body = Form({{"id", number}, {"name", name}, {"password", password}});
        EXPECT_TRUE(connection.Send("POST /plenvo/login HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                    "Content-Type: application/x-www-form-urlencoded\r\n"
                                    "Content-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body));
        std::string reply = connection.ReadReply(10s);
        json parsed = json::parse(reply.substr(std::min(reply.size(), reply.find("\r\n\r\n") + 4)),
                                  nullptr, false);
        if (!parsed.is_object())
            return "no reply: " + reply;
        return parsed.value("ok", false) ? "ok" : parsed.value("error", "");
    }

    std::atomic<int64_t> clockMs_{0};
};

// A hundred quick guesses at one teacher's password: three are checked, the rest are refused
// unchecked (even the right password is, while the wait lasts). The waits grow until the
// number is shut for fifteen minutes; then the right password works and the count starts
// again. Another teacher signs in throughout, from the guesser's address too.
TEST_F(SignInThrottleTest, GuessingOnePasswordIsSlowedThenShutAndTheTeacherGetsBackIn) {
    ASSERT_EQ(SignInFrom("127.0.0.1", "70001", "right"), "ok");
    ASSERT_EQ(SignInFrom("127.0.0.1", "70002", "other", "李老师"), "ok");

    int checked = 0, refusedUnchecked = 0;
    for (int i = 0; i < 100; ++i) {
        std::string error = SignInFrom("127.0.0.2", "70001", "guess" + std::to_string(i));
        if (error == kWrong)
            ++checked;
        else if (error.starts_with("登录失败次数过多，请") && error.ends_with("后再试"))
            ++refusedUnchecked;
        if (i % 10 == 0) {
            EXPECT_EQ(SignInFrom("127.0.0.2", "70002", "other", "李老师"), "ok") << i;
            EXPECT_EQ(SignInFrom("127.0.0.1", "70002", "other", "李老师"), "ok") << i;
        }
    }
    EXPECT_EQ(checked, 3);
    EXPECT_EQ(refusedUnchecked, 97);
    EXPECT_EQ(SignInFrom("127.0.0.1", "70001", "right"), "登录失败次数过多，请2秒后再试");

    // Each wait, once over, allows one more check, and the next wait is twice as long.
    std::vector<std::string> waits;
    for (int failures = 3; failures < 10; ++failures) {
        std::string refusal = SignInFrom("127.0.0.2", "70001", "again");
        waits.push_back(refusal);
        int seconds = 2 << (failures - 3);
        Advance(std::chrono::seconds(seconds) - 1ms);
        EXPECT_NE(SignInFrom("127.0.0.2", "70001", "again"), kWrong) << "checked before its time";
        Advance(1ms);
        EXPECT_EQ(SignInFrom("127.0.0.2", "70001", "guess"), kWrong);
    }
    EXPECT_EQ(waits.front(), "登录失败次数过多，请2秒后再试");
    EXPECT_EQ(waits.back(), "登录失败次数过多，请3分钟后再试"); // 128 s
    EXPECT_EQ(SignInFrom("127.0.0.1", "70001", "right"), "登录失败次数过多，请15分钟后再试");
    EXPECT_EQ(SignInFrom("127.0.0.3", "70002", "other", "李老师"), "ok");

    Advance(15min);
    EXPECT_EQ(SignInFrom("127.0.0.1", "70001", "right"), "ok");
    // The count started again: a slip of the finger costs no wait.
    EXPECT_EQ(SignInFrom("127.0.0.1", "70001", "typo"), kWrong);
    EXPECT_EQ(SignInFrom("127.0.0.1", "70001", "right"), "ok");
}

// One address trying a common password on many teacher numbers is slowed down as a whole,
// while teachers at other addresses sign in as usual.
TEST_F(SignInThrottleTest, SprayingManyNumbersFromOneAddressIsSlowed) {
    for (int i = 0; i < 12; ++i)
        ASSERT_EQ(SignInFrom("127.0.0.1", std::to_string(71000 + i), "own" + std::to_string(i)),
                  "ok");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(SignInFrom("127.0.0.4", std::to_string(71000 + i), "123456"), kWrong) << i;
    EXPECT_EQ(SignInFrom("127.0.0.4", "71010", "123456"), "登录失败次数过多，请1秒后再试");
    EXPECT_EQ(SignInFrom("127.0.0.4", "71011", "own11"), "登录失败次数过多，请1秒后再试");
    EXPECT_EQ(SignInFrom("127.0.0.5", "71011", "own11"), "ok");
    Advance(1s);
    EXPECT_EQ(SignInFrom("127.0.0.4", "71011", "own11"), "ok");
}
