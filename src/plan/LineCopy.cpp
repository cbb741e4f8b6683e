#include "plan/LineCopy.h"

#include <string_view>

namespace Plenvo {

namespace {

constexpr std::string_view kFirst = "template";
constexpr std::string_view kSecond = "teachproc";

// The length of a match of template.teachproc.\d+ (each dot any character) at `at`, or 0.
std::size_t MatchAt(const std::string& text, std::size_t at) {
    const std::size_t digits = at + kFirst.size() + 1 + kSecond.size() + 1;
    if (digits >= text.size() || text.compare(at, kFirst.size(), kFirst) != 0 ||
        text.compare(at + kFirst.size() + 1, kSecond.size(), kSecond) != 0) {
        return 0;
    }
    std::size_t end = digits;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
        ++end;
    }
    return end > digits ? end - at : 0;
}

void RenameCells(nlohmann::json& line, const std::string& stem);

void RenameCell(nlohmann::json& cell, const std::string& stem) {
    if (!cell.is_object()) {
        return;
    }
    if (const auto name = cell.find("name"); name != cell.end() && name->is_string()) {
        std::string renamed = RenameTeachingName(name->get<std::string>(), stem);
        if (!renamed.empty()) {
            *name = std::move(renamed);
        }
    }
    if (const auto lines = cell.find("lines"); lines != cell.end() && lines->is_array()) {
        for (auto& sub : *lines) {
            if (!sub.is_object()) {
                continue;
            }
            if (const auto name = sub.find("name"); name != sub.end() && name->is_string()) {
                *name = RenameTeachingName(name->get<std::string>(), stem);
            }
            RenameCells(sub, stem);
        }
    } else {
        cell["value"] = "";
    }
    if (const auto extend = cell.find("extenddesc"); extend != cell.end() && extend->is_object()) {
        if (const auto name = extend->find("name"); name != extend->end() && name->is_string()) {
            *name = RenameTeachingName(name->get<std::string>(), stem);
        }
        RenameCells(*extend, stem);
    }
}

void RenameCells(nlohmann::json& line, const std::string& stem) {
    const auto cells = line.find("cells");
    if (cells == line.end() || !cells->is_array()) {
        return;
    }
    for (auto& cell : *cells) {
        RenameCell(cell, stem);
    }
}

} // namespace

std::string TeachingLineStem(std::uint32_t number) {
    return "template.teachproc." + std::to_string(number);
}

std::string RenameTeachingName(const std::string& name, const std::string& stem) {
    std::string out;
    std::size_t at = 0;
    while (at < name.size()) {
        if (const std::size_t length = MatchAt(name, at)) {
            out += stem;
            at += length;
        } else {
            out += name[at++];
        }
    }
    return out;
}

nlohmann::json CopyTeachingLine(const nlohmann::json& source, const std::string& stem) {
    nlohmann::json copy = source.is_object() ? source : nlohmann::json::object();
    copy["removable"] = true;
    copy["name"] = stem + ".container";
    RenameCells(copy, stem);
    return copy;
}

} // namespace Plenvo
