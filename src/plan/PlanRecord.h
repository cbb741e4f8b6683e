#pragma once
// The identity of an open plan as the plan data carries it.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace Plenvo {

struct PlanRecord {
    std::string title;
    std::string name;
    std::string lessiontitle;
    std::string schooltime;
    std::string schooltype;
    std::string grade;
    std::string subject;
    std::string id;
    std::int64_t modified = 0; // seconds since 1970
    std::int64_t created = 0;  // seconds since 1970

    // Members of the wrong type count as absent. The id names files and URLs, so only a
    // decimal id is taken (a non-negative JSON integer or a string of digits); anything else
    // leaves it empty.
    static PlanRecord Parse(const nlohmann::json& data);
    // The id as a number; none when it is empty or out of range.
    std::optional<int> NumericId() const;
};

// A plan id that may name a file or go into a URL: 1 to 18 decimal digits, nothing else.
bool IsDecimalPlanId(const std::string& id);

} // namespace Plenvo
