#include "pages/HistoryRecords.h"

#include "pages/PageSupport.h"

#include <ctime>

namespace Plenvo {

namespace {

std::int64_t Milliseconds(const nlohmann::json& record, const char* key) {
    const auto it = record.find(key);
    if (it == record.end() || !it->is_number()) {
        return 0;
    }
    if (it->is_number_float()) {
        const double v = it->get<double>();
        return v == v && v > -9.2e18 && v < 9.2e18 ? static_cast<std::int64_t>(v) : 0;
    }
    if (it->is_number_unsigned() && it->get<std::uint64_t>() > INT64_MAX) {
        return 0;
    }
    return it->get<std::int64_t>();
}

} // namespace

std::string LocalDateText(std::int64_t milliseconds) {
    const std::time_t seconds = static_cast<std::time_t>(milliseconds / 1000);
    std::tm local{};
    if (!localtime_r(&seconds, &local)) {
        return {};
    }
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y年%m月%d日 %H:%M", &local);
    return std::string(text, n);
}

HistoryRecords ReadHistoryRecords(const nlohmann::json& reply) {
    HistoryRecords result;
    if (!reply.is_object()) {
        return result;
    }
    const auto lps = reply.find("lps");
    if (lps == reply.end() || !lps->is_array()) {
        return result;
    }
    for (const auto& entry : *lps) {
        if (!entry.is_object()) {
            continue;
        }
        const auto title = entry.find("lessiontitle");
        if (title == entry.end() || !title->is_string() ||
            title->get_ref<const std::string&>().empty()) {
            continue;
        }
        HistoryRecord record;
        record.id = IntegerMember(entry, "id", 0);
        record.title = title->get<std::string>();
        const std::int64_t modified = Milliseconds(entry, "modified");
        record.time = modified != 0 ? modified : Milliseconds(entry, "created");
        record.date = LocalDateText(record.time);
        if (result.newest < 0 || record.time > result.records[result.newest].time) {
            result.newest = static_cast<int>(result.records.size());
        }
        result.records.push_back(std::move(record));
    }
    return result;
}

} // namespace Plenvo
