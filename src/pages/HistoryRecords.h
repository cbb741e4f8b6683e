#pragma once
// The teacher's plans as the history reply lists them, with the date each shows.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace Plenvo {

struct HistoryRecord {
    int id = 0;
    std::string title;
    // Milliseconds since 1970 UTC: modified, or created when modified is 0.
    std::int64_t time = 0;
    // "%Y年%m月%d日 %H:%M" in local time.
    std::string date;
};

struct HistoryRecords {
    std::vector<HistoryRecord> records;
    // The index of the newest record (the first of equal times), -1 when there is none.
    int newest = -1;
};

// The records of "lps" in reply order, those without a title left out.
HistoryRecords ReadHistoryRecords(const nlohmann::json& reply);
std::string LocalDateText(std::int64_t milliseconds);

} // namespace Plenvo
