#include "plan/VersionStamp.h"

#include <ctime>

namespace Plenvo {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t kEpochDifference = 11644473600ULL;

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

} // namespace

CVersionStamp CVersionStamp::Now() {
    timespec wall{};
    ::clock_gettime(CLOCK_REALTIME, &wall);
    tm local{};
    ::localtime_r(&wall.tv_sec, &local);
    // Local time, not UTC, counted from 1601 in 100 ns steps.
    const auto seconds = static_cast<std::uint64_t>(static_cast<std::int64_t>(wall.tv_sec) +
                                                    static_cast<std::int64_t>(local.tm_gmtoff));
    const std::uint64_t fileTime = (seconds + kEpochDifference) * 10'000'000ULL +
                                   static_cast<std::uint64_t>(wall.tv_nsec) / 100;
    timespec counter{};
    ::clock_gettime(CLOCK_MONOTONIC, &counter);
    const std::uint64_t ticks = static_cast<std::uint64_t>(counter.tv_sec) * 1'000'000'000ULL +
                                static_cast<std::uint64_t>(counter.tv_nsec);
    return {static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(fileTime),
            static_cast<std::uint32_t>(fileTime >> 32)};
}

std::optional<std::uint32_t> ParseStampNumber(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char ch : digits) {
        if (!IsDigit(ch)) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(ch - '0');
        if (value > 0xFFFFFFFFULL) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<CVersionStamp> CVersionStamp::Parse(std::string_view text) {
    const auto first = text.find('.');
    const auto second = first == std::string_view::npos ? first : text.find('.', first + 1);
    if (second == std::string_view::npos) {
        return std::nullopt;
    }
    const auto a = ParseStampNumber(text.substr(0, first));
    const auto b = ParseStampNumber(text.substr(first + 1, second - first - 1));
    const auto c = ParseStampNumber(text.substr(second + 1));
    if (!a || !b || !c) {
        return std::nullopt;
    }
    return CVersionStamp{*a, *b, *c};
}

std::string CVersionStamp::Text() const {
    return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c);
}

CVersionStamp CVersionStamp::JustAbove() const {
    if (a != 0xFFFFFFFFU) {
        return {a + 1, b, c};
    }
    const std::uint64_t now = (static_cast<std::uint64_t>(c) << 32) | b;
    if (now == ~std::uint64_t{0}) {
        return *this; // the last stamp there is
    }
    const std::uint64_t time = now + 1;
    return {0, static_cast<std::uint32_t>(time), static_cast<std::uint32_t>(time >> 32)};
}

} // namespace Plenvo
