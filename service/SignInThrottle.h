#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace PlenvoService {

// How failed sign-ins slow down, counted per teacher number and per client address.
struct SignInLimits {
    // Failures of one teacher number that cost nothing; each further one makes the next attempt
    // wait, twice as long as the one before, until the number is shut for `lockTime`.
    int freeFailures = 3;
    std::chrono::seconds firstDelay{2};
    int lockFailures = 10;
    // Many teachers may share one address (a school's network), so it gets more room.
    int addressFreeFailures = 10;
    std::chrono::seconds addressFirstDelay{1};
    int addressLockFailures = 40;
    std::chrono::seconds lockTime{15 * 60};
    // A count with no failure for this long is forgotten.
    std::chrono::seconds forgetAfter{60 * 60};
};

// Decides, before any password is checked, whether a sign-in may be tried now. Attempts that
// come too early are refused without touching the password, so guessing costs the guesser
// time and the service nothing. Thread-safe.
class SignInThrottle {
public:
    using Clock = std::chrono::steady_clock;
    SignInThrottle(SignInLimits limits, std::function<Clock::time_point()> now);

    // None: go ahead, and report the outcome with Finish. Otherwise the text for the teacher.
    std::optional<std::string> Begin(const std::string& number, const std::string& address);
    void Finish(const std::string& number, const std::string& address, bool succeeded);
    // The attempt ended without a verdict on the password (an internal error).
    void Abandon(const std::string& number);

private:
    struct Count {
        int failures = 0;
        Clock::time_point notBefore{}, lastFailure{};
        bool checking = false; // a password of this number is being checked right now
    };
    void Fail(Count& count, int freeFailures, std::chrono::seconds firstDelay, int lockFailures,
              Clock::time_point now);
    void Forget(Clock::time_point now);

    SignInLimits limits_;
    std::function<Clock::time_point()> now_;
    std::mutex mutex_;
    std::unordered_map<std::string, Count> numbers_, addresses_;
    size_t sinceForget_ = 0;
};

} // namespace PlenvoService
