#include "net/ThreadTimer.h"

#include "platform/Messaging.h"
#include "platform/Tick.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace SimpleCurl {

namespace {

struct TimerRecord {
    platform::UINT_PTR id = 0;
    ThreadTimerCallback callback;
    unsigned period = 0;
    std::uint64_t startTick = 0;
};

struct TimerRecords {
    std::mutex mutex;
    std::map<platform::UINT_PTR, std::shared_ptr<TimerRecord>> map;

    std::shared_ptr<TimerRecord> Find(platform::UINT_PTR id) {
        std::lock_guard lock(mutex);
        auto it = map.find(id);
        return it == map.end() ? nullptr : it->second;
    }
};

TimerRecords& Records() {
    static TimerRecords records;
    return records;
}

void OnThreadTimer(platform::HWND, platform::UINT_PTR id, std::uint64_t) {
    // The record is held while its callback runs, so the callback may kill its own timer.
    if (auto record = Records().Find(id)) {
        record->callback(id);
    }
}

} // namespace

platform::UINT_PTR RegisterThreadTimer(unsigned periodMs, ThreadTimerCallback callback) {
    const platform::UINT_PTR id = platform::SetTimer(0, 0, periodMs, &OnThreadTimer);
    auto record = std::make_shared<TimerRecord>(
        TimerRecord{id, std::move(callback), periodMs, platform::GetTickCount()});
    auto& records = Records();
    std::lock_guard lock(records.mutex);
    records.map[id] = std::move(record);
    return id;
}

void SetThreadTimer(platform::UINT_PTR id, unsigned periodMs) {
    auto record = Records().Find(id);
    if (!record) {
        return;
    }
    platform::SetTimer(0, id, periodMs, &OnThreadTimer);
}

void KillThreadTimer(platform::UINT_PTR id) {
    auto& records = Records();
    {
        std::lock_guard lock(records.mutex);
        if (records.map.erase(id) == 0) {
            return;
        }
    }
    platform::KillTimer(0, id);
}

} // namespace SimpleCurl
