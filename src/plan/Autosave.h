#pragma once
// When an open plan writes a saved version on its own: at most 30 seconds after the first change
// that no version holds yet, so that a crash or a power cut never costs more than that much
// typing. Times are the plan's clock in milliseconds.
#include <cstdint>
#include <optional>

namespace Plenvo {

class CAutosave {
public:
    static constexpr std::uint64_t kDelayMs = 30000;
    // How often the plan looks whether a version is due; the save comes at most this late.
    static constexpr unsigned kCheckMs = 1000;

    // A change: the first one since the last version starts the count.
    void Changed(std::uint64_t now) {
        if (!firstChange_) {
            firstChange_ = now;
        }
    }
    // A version was written, or the changes were sent and stored: nothing is pending.
    void Settled() { firstChange_.reset(); }
    bool Pending() const { return firstChange_.has_value(); }
    // A change is seen up to one check after it was made, and the version is written up to
    // one check after it is due: two check intervals early keeps the whole within the limit.
    bool Due(std::uint64_t now) const {
        return firstChange_ && now - *firstChange_ + 2 * kCheckMs >= kDelayMs;
    }

private:
    std::optional<std::uint64_t> firstChange_;
};

} // namespace Plenvo
