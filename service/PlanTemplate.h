#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace PlenvoService {

// The lesson types, grades and subjects the service accepts, with the names the screens show.
// The combo boxes of the create and edit-info forms carry the same numbers.
std::string LessonTypeName(int lessonType); // "" for an unknown number
std::string GradeName(int grade);           // 1 一年级 … 12 十二年级
std::string SubjectName(int subject);       // 1 语文 … 10 体育
std::string SchoolStage(int grade);         // 小学, 初中, 高中
int LessonTypeCount();

// A string member of a JSON object; "" when it is absent or not a string.
std::string StringMember(const nlohmann::json& object, const char* key);

// Cell values by cell name, as the client saves them.
using CellValues = std::map<std::string, std::string>;

// The plan template: the grid every new plan starts from, and the operations that keep a plan's
// own copy of it in step with the lines the teacher adds and removes.
class PlanTemplate {
public:
    // The template document: "title" and "gridlines".
    static const nlohmann::json& Document();
    // A fresh copy of the template's lines for a new plan.
    static nlohmann::json NewGrid();

    // A teaching-process line copied from the extendable top-level line `afterName`, inserted
    // after it and named `name` (which ends in ".container"), its cells renamed and emptied as
    // the client does; false when the names do not fit or the line is unknown or fixed.
    static bool InsertLineAfter(nlohmann::json& grid, const std::string& name,
                                const std::string& afterName);
    // A sub-line added by Enter in an extendable cell, found by the cell's "extenddesc" name
    // pattern; false when no extendable cell owns such a name or it exists already.
    static bool AppendSubLine(nlohmann::json& grid, const std::string& name);
    // Removes a removable top-level line or a sub-line that is not its container's last one.
    static bool RemoveLine(nlohmann::json& grid, const std::string& name);

    // Sets every text cell's "value" from the values that name it.
    static void LayValues(nlohmann::json& grid, const CellValues& values);
    // Number of lines at every depth, to bound what a client can grow.
    static size_t CountLines(const nlohmann::json& grid);
};

} // namespace PlenvoService
