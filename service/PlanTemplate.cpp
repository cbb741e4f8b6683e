#include "PlanTemplate.h"

#include "plan/LineCopy.h"

#include "EmbeddedTemplates.h"
#include "Text.h"

#include <regex>
#include <stdexcept>

namespace PlenvoService {

using nlohmann::json;

namespace {
const char* const kLessonTypes[] = {"新授课", "复习课", "练习课", "讲评课", "实验课", "活动课"};
const char* const kGrades[] = {"一年级", "二年级", "三年级", "四年级", "五年级",   "六年级",
                               "七年级", "八年级", "九年级", "十年级", "十一年级", "十二年级"};
const char* const kSubjects[] = {"语文", "数学", "英语", "物理", "化学",
                                 "生物", "历史", "地理", "政治", "体育"};

template <size_t N> std::string Lookup(const char* const (&table)[N], int number) {
    if (number < 1 || number > static_cast<int>(N))
        return {};
    return table[number - 1];
}

json* FindTopLevel(json& grid, const std::string& name) {
    for (auto& line : grid)
        if (StringMember(line, "name") == name)
            return &line;
    return nullptr;
}

// Calls f(line, parentLines) for every line at every depth until f returns true.
template <typename F> bool VisitLines(json& lines, F&& f) {
    if (!lines.is_array())
        return false;
    for (auto& line : lines) {
        if (f(line, lines))
            return true;
        auto cells = line.find("cells");
        if (cells == line.end() || !cells->is_array())
            continue;
        for (auto& cell : *cells) {
            auto sub = cell.find("lines");
            if (sub != cell.end() && VisitLines(*sub, f))
                return true;
        }
    }
    return false;
}

// Calls f(cell) for every cell at every depth.
template <typename F> void VisitCells(json& lines, F&& f) {
    VisitLines(lines, [&](json& line, json&) {
        auto cells = line.find("cells");
        if (cells != line.end() && cells->is_array())
            for (auto& cell : *cells)
                f(cell);
        return false;
    });
}

bool NameExists(json& grid, const std::string& name) {
    bool found = false;
    VisitLines(grid, [&](json& line, json&) { return found = StringMember(line, "name") == name; });
    return found;
}

} // namespace

std::string StringMember(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string LessonTypeName(int lessonType) {
    return Lookup(kLessonTypes, lessonType);
}
std::string GradeName(int grade) {
    return Lookup(kGrades, grade);
}
std::string SubjectName(int subject) {
    return Lookup(kSubjects, subject);
}
int LessonTypeCount() {
    return static_cast<int>(std::size(kLessonTypes));
}

std::string SchoolStage(int grade) {
    if (grade <= 6)
        return "小学";
    if (grade <= 9)
        return "初中";
    return "高中";
}

const json& PlanTemplate::Document() {
    static const json document = [] {
        json parsed = json::parse(EmbeddedTemplate("plan"));
        if (!parsed.is_object() || !parsed.contains("gridlines") || !parsed["gridlines"].is_array())
            throw std::logic_error("plan template has no gridlines");
        return parsed;
    }();
    return document;
}

json PlanTemplate::NewGrid() {
    return Document()["gridlines"];
}

bool PlanTemplate::InsertLineAfter(json& grid, const std::string& name,
                                   const std::string& afterName) {
    static const std::regex lineName(R"(template\.teachproc\.(\d{1,10})\.container)");
    if (!grid.is_array() || !std::regex_match(name, lineName) || NameExists(grid, name))
        return false;
    json* after = FindTopLevel(grid, afterName);
    // Only lines that offer the add-line icon are copied; copying a header line would give
    // its cells a second set of the same names.
    if (!after || !after->value("extendable", false))
        return false;
    const std::string stem = name.substr(0, name.size() - std::string(".container").size());
    // The client's own copy rule, at every depth (cells, sub-lines, the lines Enter adds), so
    // both agree on every cell name and no two cells share one.
    json copy = Plenvo::CopyTeachingLine(*after, stem);
    auto position = grid.begin() + (after - &grid[0]) + 1;
    grid.insert(position, std::move(copy));
    return true;
}

bool PlanTemplate::AppendSubLine(json& grid, const std::string& name) {
    if (NameExists(grid, name))
        return false;
    json* owner = nullptr;
    std::string tick;
    VisitCells(grid, [&](json& cell) {
        if (owner || !cell.value("extendable", false) || !cell.contains("extenddesc") ||
            !cell["extenddesc"].is_object() || !cell.contains("lines") || !cell["lines"].is_array())
            return;
        std::string pattern = StringMember(cell["extenddesc"], "name");
        size_t at = pattern.find("INCRVAL");
        if (at == std::string::npos)
            return;
        std::regex re(EscapeRegex(pattern.substr(0, at)) + R"((\d{1,10}))" +
                      EscapeRegex(pattern.substr(at + 7)));
        std::smatch match;
        if (std::regex_match(name, match, re)) {
            owner = &cell;
            tick = match[1];
        }
    });
    if (!owner)
        return false;
    json line = (*owner)["extenddesc"];
    line["name"] = name;
    if (auto cells = line.find("cells");
        cells != line.end() && cells->is_array() && !cells->empty() && (*cells)[0].is_object()) {
        json& first = (*cells)[0];
        std::string cellName = StringMember(first, "name");
        for (size_t at; (at = cellName.find("INCRVAL")) != std::string::npos;)
            cellName.replace(at, 7, tick);
        first["name"] = cellName;
        first["value"] = std::to_string((*owner)["lines"].size() + 1) + ".";
    }
    (*owner)["lines"].push_back(std::move(line));
    return true;
}

bool PlanTemplate::RemoveLine(json& grid, const std::string& name) {
    for (auto it = grid.begin(); it != grid.end(); ++it) {
        if (StringMember(*it, "name") == name) {
            if (!it->value("removable", false))
                return false;
            grid.erase(it);
            return true;
        }
    }
    bool removed = false;
    VisitCells(grid, [&](json& cell) {
        auto lines = cell.find("lines");
        if (removed || lines == cell.end() || !lines->is_array() || lines->size() < 2)
            return;
        for (auto it = lines->begin(); it != lines->end(); ++it) {
            if (StringMember(*it, "name") == name) {
                lines->erase(it);
                removed = true;
                return;
            }
        }
    });
    return removed;
}

void PlanTemplate::LayValues(json& grid, const CellValues& values) {
    VisitCells(grid, [&](json& cell) {
        if (!cell.is_object() || cell.contains("lines"))
            return;
        auto it = values.find(StringMember(cell, "name"));
        if (it != values.end())
            cell["value"] = it->second;
    });
}

size_t PlanTemplate::CountLines(const json& grid) {
    size_t count = 0;
    VisitLines(const_cast<json&>(grid), [&](json&, json&) {
        ++count;
        return false;
    });
    return count;
}

} // namespace PlenvoService
