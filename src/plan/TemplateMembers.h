#pragma once
// Reading members of the plan template: a member of the wrong type counts as absent.
#include <nlohmann/json.hpp>

#include <string>

namespace Plenvo::TemplateMembers {

inline double Number(const nlohmann::json& object, const char* key, double fallback = 0) {
    if (!object.is_object()) {
        return fallback;
    }
    const auto it = object.find(key);
    return it != object.end() && it->is_number() ? it->get<double>() : fallback;
}

inline bool Flag(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) {
        return false;
    }
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

inline std::string Text(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) {
        return {};
    }
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace Plenvo::TemplateMembers
