#include "SignInThrottle.h"

#include <algorithm>

namespace PlenvoService {

namespace {
std::string WaitText(SignInThrottle::Clock::duration wait) {
    auto seconds = std::chrono::ceil<std::chrono::seconds>(wait).count();
    if (seconds < 60)
        return "登录失败次数过多，请" + std::to_string(std::max<long long>(seconds, 1)) +
               "秒后再试";
    return "登录失败次数过多，请" + std::to_string((seconds + 59) / 60) + "分钟后再试";
}
} // namespace

SignInThrottle::SignInThrottle(SignInLimits limits, std::function<Clock::time_point()> now)
    : limits_(limits), now_(now ? std::move(now) : [] { return Clock::now(); }) {}

std::optional<std::string> SignInThrottle::Begin(const std::string& number,
                                                 const std::string& address) {
    std::lock_guard lock(mutex_);
    auto now = now_();
    Clock::time_point notBefore{};
    auto numberIt = numbers_.find(number);
    if (numberIt != numbers_.end()) {
        // One check at a time per number: parallel connections gain a guesser nothing.
        if (numberIt->second.checking)
            return WaitText(std::chrono::seconds(1));
        notBefore = numberIt->second.notBefore;
    }
    if (auto it = addresses_.find(address); it != addresses_.end())
        notBefore = std::max(notBefore, it->second.notBefore);
    if (now < notBefore)
        return WaitText(notBefore - now);
    numbers_[number].checking = true;
    return std::nullopt;
}

void SignInThrottle::Finish(const std::string& number, const std::string& address, bool succeeded) {
    std::lock_guard lock(mutex_);
    auto now = now_();
    if (succeeded) {
        // The teacher's own count starts again; the address keeps its count until it is
        // forgotten, so that one good account cannot clear the way for guessing others.
        numbers_.erase(number);
        return;
    }
    Count& count = numbers_[number];
    count.checking = false;
    Fail(count, limits_.freeFailures, limits_.firstDelay, limits_.lockFailures, now);
    Fail(addresses_[address], limits_.addressFreeFailures, limits_.addressFirstDelay,
         limits_.addressLockFailures, now);
    if (++sinceForget_ >= 1024) {
        sinceForget_ = 0;
        Forget(now);
    }
}

void SignInThrottle::Abandon(const std::string& number) {
    std::lock_guard lock(mutex_);
    if (auto it = numbers_.find(number); it != numbers_.end()) {
        it->second.checking = false;
        if (it->second.failures == 0)
            numbers_.erase(it);
    }
}

void SignInThrottle::Fail(Count& count, int freeFailures, std::chrono::seconds firstDelay,
                          int lockFailures, Clock::time_point now) {
    if (count.failures > 0 && now - count.lastFailure >= limits_.forgetAfter)
        count.failures = 0;
    ++count.failures;
    count.lastFailure = now;
    if (count.failures >= lockFailures) {
        count.notBefore = now + limits_.lockTime;
    } else if (count.failures >= freeFailures) {
        int doublings = std::min(count.failures - freeFailures, 20);
        auto delay =
            std::min<Clock::duration>(firstDelay * (int64_t{1} << doublings), limits_.lockTime);
        count.notBefore = now + delay;
    }
}

void SignInThrottle::Forget(Clock::time_point now) {
    for (auto* counts : {&numbers_, &addresses_})
        std::erase_if(*counts, [&](const auto& entry) {
            const Count& count = entry.second;
            return !count.checking && now >= count.notBefore &&
                   now - count.lastFailure >= limits_.forgetAfter;
        });
}

} // namespace PlenvoService
