#include "plan/PlanRecord.h"

#include <charconv>

namespace Plenvo {

namespace {

std::string Text(const nlohmann::json& data, const char* key) {
    const auto it = data.find(key);
    return it != data.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::int64_t Seconds(const nlohmann::json& data, const char* key) {
    const auto it = data.find(key);
    if (it == data.end() || !it->is_number()) {
        return 0;
    }
    if (it->is_number_integer()) {
        return it->get<std::int64_t>() / 1000;
    }
    const double ms = it->get<double>();
    // Beyond any date a plan can carry; also keeps the conversion defined.
    if (!(ms > -9.0e18 && ms < 9.0e18)) {
        return 0;
    }
    return static_cast<std::int64_t>(ms) / 1000;
}

std::string Id(const nlohmann::json& data) {
    const auto it = data.find("id");
    if (it == data.end()) {
        return {};
    }
    if (it->is_number_unsigned()) {
        return std::to_string(it->get<std::uint64_t>());
    }
    if (it->is_number_integer()) {
        const auto value = it->get<std::int64_t>();
        return value >= 0 ? std::to_string(value) : std::string();
    }
    if (it->is_string()) {
        std::string text = it->get<std::string>();
        return IsDecimalPlanId(text) ? text : std::string();
    }
    return {};
}

} // namespace

bool IsDecimalPlanId(const std::string& id) {
    if (id.empty() || id.size() > 18) {
        return false;
    }
    for (const char c : id) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

PlanRecord PlanRecord::Parse(const nlohmann::json& data) {
    PlanRecord record;
    if (!data.is_object()) {
        return record;
    }
    record.title = Text(data, "title");
    record.name = Text(data, "name");
    record.lessiontitle = Text(data, "lessiontitle");
    record.schooltime = Text(data, "schooltime");
    record.schooltype = Text(data, "schooltype");
    record.grade = Text(data, "grade");
    record.subject = Text(data, "subject");
    record.id = Id(data);
    if (!IsDecimalPlanId(record.id)) {
        record.id.clear();
    }
    record.modified = Seconds(data, "modified");
    record.created = Seconds(data, "created");
    return record;
}

std::optional<int> PlanRecord::NumericId() const {
    int value = 0;
    const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), value);
    if (id.empty() || error != std::errc() || end != id.data() + id.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace Plenvo
