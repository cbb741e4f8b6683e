#include "BenchPlanData.h"

#include "BenchMainWindow.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <regex>
#include <vector>

namespace benchsupport {

std::string PlanOf300Cells() {
    nlohmann::json plan = nlohmann::json::parse(benchsupport::ServiceTemplate("plan.json"));
    nlohmann::json lines = nlohmann::json::array();
    nlohmann::json teaching;
    std::size_t cells = 0;
    const auto count = [](const nlohmann::json& line) {
        std::size_t n = 0;
        for (const auto& cell : line["cells"]) {
            n += cell.contains("lines") ? 1 + cell["lines"].size() : 1;
        }
        return n;
    };
    for (const auto& line : plan["gridlines"]) {
        if (line["name"].get<std::string>().find("teachproc.") != std::string::npos &&
            line.value("extendable", false)) {
            teaching = line;
            continue;
        }
        cells += count(line);
        lines.push_back(line);
    }
    // The teaching lines go where the template has them, after its table head.
    auto at = std::find_if(lines.begin(), lines.end(), [](const nlohmann::json& l) {
        return l["name"] == "template.teachproc.head";
    });
    std::vector<nlohmann::json> added;
    const std::regex number(R"(teachproc\.\d+\.)");
    for (int n = 1; cells + 4 <= 300; ++n) {
        const std::string part = "teachproc." + std::to_string(n) + ".";
        nlohmann::json line = teaching;
        line["name"] = std::regex_replace(line["name"].get<std::string>(), number, part);
        for (auto& cell : line["cells"]) {
            cell["name"] = std::regex_replace(cell["name"].get<std::string>(), number, part);
            cell["value"] = "学生在教师的引导下朗读课文，找出描写月色的句子，体会作者的情感。第" +
                            std::to_string(n) + "环节。";
        }
        cells += 4;
        added.push_back(line);
    }
    const nlohmann::json block(added);
    lines.insert(at + 1, block.begin(), block.end());
    plan["gridlines"] = lines;
    plan["id"] = 7;
    plan["lessiontitle"] = "荷塘月色";
    plan["grade"] = "10";
    plan["subject"] = "1";
    plan["modified"] = 1750000000000LL;
    plan["layer"] = 1;
    plan["type"] = "plenvo";
    return plan.dump();
}

} // namespace benchsupport
