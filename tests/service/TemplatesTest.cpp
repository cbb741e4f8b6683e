#include "EmbeddedTemplates.h"
#include "PlanTemplate.h"
#include "ServiceFixture.h"

#include <functional>
#include <regex>
#include <set>

using namespace PlenvoServiceTest;

namespace {
// Depth-first search of an element tree by "name".
const json* Find(const json& element, const std::string& name) {
    if (!element.is_object())
        return nullptr;
    if (auto children = element.find("elements"); children != element.end() && children->is_array())
        for (const auto& child : *children)
            if (const json* found = Find(child, name))
                return found;
    if (element.value("name", "") == name)
        return &element;
    return nullptr;
}

std::vector<std::pair<std::string, int>> ComboValues(const json& combo) {
    std::vector<std::pair<std::string, int>> values;
    for (const auto& item : combo.value("values", json::array()))
        values.emplace_back(item.value("str", ""), item.value("value", 0));
    return values;
}

void ExpectPlanInfoForm(const json& form, const std::string& button) {
    ASSERT_TRUE(form.is_object());
    const json* title = Find(form, "lessiontitle");
    ASSERT_TRUE(title);
    EXPECT_EQ((*title)["type"], "edit");
    ASSERT_TRUE(Find(form, button));
    EXPECT_EQ((*Find(form, button))["type"], "button");
    const json* grade = Find(form, "gradevalue");
    const json* subject = Find(form, "subjectvalue");
    const json* lessonType = Find(form, "lessiontypevalue");
    ASSERT_TRUE(grade && subject && lessonType);
    for (const json* combo : {grade, subject, lessonType})
        EXPECT_EQ((*combo)["type"], "combobox");
    // The numbers the service accepts, with the names it shows in the plan.
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(ComboValues(*grade)[n - 1], std::pair(PlenvoService::GradeName(n), n));
    EXPECT_EQ(ComboValues(*grade).size(), 12u);
    EXPECT_EQ(ComboValues(*grade)[0].first, "一年级");
    EXPECT_EQ(ComboValues(*grade)[11].first, "十二年级");
    std::vector<std::string> subjects;
    for (auto& [text, value] : ComboValues(*subject)) {
        EXPECT_EQ(PlenvoService::SubjectName(value), text);
        subjects.push_back(text);
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"语文", "数学", "英语", "物理", "化学", "生物",
                                                  "历史", "地理", "政治", "体育"}));
    EXPECT_EQ(static_cast<int>(ComboValues(*lessonType).size()), PlenvoService::LessonTypeCount());
    for (auto& [text, value] : ComboValues(*lessonType))
        EXPECT_EQ(PlenvoService::LessonTypeName(value), text);
}

// Widths along a horizontal element must fit the space it is given; returns the fixed width
// taken by children that are plain numbers.
double FixedWidth(const json& element) {
    double sum = 0;
    for (const auto& child : element.value("elements", json::array()))
        if (child.contains("width") && child["width"].is_number() && child["width"] >= 0)
            sum += child["width"].get<double>();
    return sum;
}
} // namespace

TEST_F(ServiceTest, ScreenTemplatesAreServedWithAStrongContentETag) {
    for (const std::string& name : std::vector<std::string>{"main", "suggestion"}) {
        auto reply = Get("viewtemp?name=" + name);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
        EXPECT_NE(reply->get_header_value("Content-Type").find("json"), std::string::npos);
        EXPECT_TRUE(json::accept(reply->body)) << name;
        std::string etag = reply->get_header_value("ETag");
        EXPECT_TRUE(std::regex_match(etag, std::regex("\"[0-9a-f]{32}\""))) << etag;
        EXPECT_EQ(Get("viewtemp?name=" + name)->get_header_value("ETag"), etag);
        EXPECT_EQ(reply->body, std::string(PlenvoService::EmbeddedTemplate(name)));
    }
    EXPECT_NE(Get("viewtemp?name=main")->get_header_value("ETag"),
              Get("viewtemp?name=suggestion")->get_header_value("ETag"));
    for (const std::string& other :
         std::vector<std::string>{"plan", "Main", "", "../main", "main.json"}) {
        auto reply = Get("viewtemp?name=" + Encode(other));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 404) << other;
    }
    EXPECT_EQ(Get("viewtemp")->status, 404);
}

TEST(ScreenTemplates, MainCarriesEveryElementThePagesNeed) {
    json main = json::parse(PlenvoService::EmbeddedTemplate("main"));
    const json* list = Find(main, "historylist");
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)["type"], "list");
    for (auto key : {"item_width", "item_height"})
        EXPECT_GT((*list)[key].get<double>(), 0) << key;
    for (auto name : {"create_lession_button", "print_button"}) {
        ASSERT_TRUE(Find(main, name)) << name;
        EXPECT_EQ((*Find(main, name))["type"], "button");
    }
    ASSERT_TRUE(Find(main, "container1"));

    const json& login = main["login"];
    for (auto name : {"loginidvalue", "loginnamevalue", "loginpasswordvalue"}) {
        ASSERT_TRUE(Find(login, name)) << name;
        EXPECT_EQ((*Find(login, name))["type"], "edit");
    }
    EXPECT_EQ((*Find(login, "loginpasswordvalue")).value("password", false), true);
    EXPECT_EQ((*Find(login, "loginidvalue")).value("password", false), false);
    ASSERT_TRUE(Find(login, "loginbutton"));
    EXPECT_EQ((*Find(login, "loginbutton"))["type"], "button");

    ExpectPlanInfoForm(main["create"], "createlpbutton");
    ExpectPlanInfoForm(main["editinfo"], "savebutton");
}

TEST(ScreenTemplates, MainLeavesRoomForThePlanInAWindow270mmWide) {
    json main = json::parse(PlenvoService::EmbeddedTemplate("main"));
    // The root lays its children out left to right; the content area takes what is left.
    EXPECT_NE(main.value("layout", ""), "vertical");
    const json* container = Find(main, "container1");
    ASSERT_TRUE(container);
    EXPECT_EQ((*container)["width"], "100%");
    EXPECT_GE(270.0 - FixedWidth(main), 195.0);
    // Every fixed-size element inside fits the content area or the sidebar it sits in.
    std::function<void(const json&, double)> check = [&](const json& element, double room) {
        double width = room;
        if (element.contains("width") && element["width"].is_number() && element["width"] >= 0) {
            width = element["width"].get<double>();
            EXPECT_LE(width, room + 1e-9) << element.value("name", element.dump().substr(0, 80));
        }
        if (element.value("layout", "") != "vertical") {
            EXPECT_LE(FixedWidth(element), width + 1e-9)
                << element.value("name", element.dump().substr(0, 80));
        }
        for (const auto& child : element.value("elements", json::array()))
            check(child, width);
    };
    check(main, 270.0);
    for (auto page : {"login", "create", "editinfo"})
        check(main[page], 195.0);
}

TEST(ScreenTemplates, SuggestionWindowLeavesTheRestToThePanel) {
    json suggestion = json::parse(PlenvoService::EmbeddedTemplate("suggestion"));
    // The panel is appended below whatever the template shows, so the root stacks vertically.
    EXPECT_EQ(suggestion["layout"], "vertical");
    for (const auto& child : suggestion["elements"])
        EXPECT_TRUE(child["height"].is_number());
}

TEST(PlanTemplateDocument, IsARealLessonPlanThatFitsThePlanElement) {
    const json& document = PlenvoService::PlanTemplate::Document();
    EXPECT_TRUE(document["title"].is_string());
    const json& grid = document["gridlines"];
    // 195 mm element: 10 mm margin, the line, add and delete icons to its right (up to 19 mm
    // past its end), the 4 mm scroll bar at the right edge.
    for (const auto& line : grid) {
        double width = line["width"].get<double>();
        EXPECT_LE(10 + width + 19, 195.0 - 4) << line["name"];
        double cells = 0;
        for (const auto& cell : line["cells"])
            cells += cell["width"].get<double>();
        EXPECT_DOUBLE_EQ(cells, width) << line["name"];
    }
    std::set<std::string> names;
    for (const auto& [name, cell] : Cells(grid)) {
        EXPECT_FALSE(name.empty());
        EXPECT_TRUE(names.insert(name).second) << "duplicate cell " << name;
    }
    for (auto required : {"template.grade.value", "template.subject.value",
                          "template.lessiontitle.value", "template.lessiontype.value"})
        EXPECT_TRUE(names.count(required)) << required;

    // Teaching-process lines: extendable and named so that added copies get fresh names.
    std::regex lineName(R"(template\.teachproc\.(\d+)\.container)");
    int teaching = 0;
    for (const auto& line : grid) {
        std::smatch match;
        std::string name = line["name"];
        if (!std::regex_match(name, match, lineName))
            continue;
        ++teaching;
        EXPECT_EQ(line["extendable"], true);
        std::set<std::string> parts;
        for (const auto& cell : line["cells"]) {
            std::string cellName = cell["name"];
            ASSERT_EQ(cellName.rfind("template.teachproc." + match[1].str() + ".", 0), 0u);
            parts.insert(cellName.substr(cellName.rfind('.') + 1));
        }
        EXPECT_EQ(parts, (std::set<std::string>{"stage", "teacher", "student", "intent"}));
        EXPECT_EQ(line.value("removable", false), teaching > 1);
    }
    EXPECT_GE(teaching, 3);

    // At least one extendable cell whose sub-lines are numbered through INCRVAL.
    int lists = 0;
    for (const auto& [name, cell] : Cells(grid)) {
        if (!cell.value("extendable", false))
            continue;
        ++lists;
        const json& desc = cell["extenddesc"];
        EXPECT_NE(desc["name"].get<std::string>().find("INCRVAL"), std::string::npos);
        EXPECT_NE(desc["cells"][0]["name"].get<std::string>().find("INCRVAL"), std::string::npos);
        EXPECT_EQ(desc["cells"][0]["deleteonempty"], true);
        EXPECT_GE(cell["lines"].size(), 1u);
    }
    EXPECT_GE(lists, 1);

    // The header, teaching process, then blackboard design, homework and reflection.
    auto lines = LineNames(grid);
    auto position = [&](const std::string& name) {
        return std::find(lines.begin(), lines.end(), name) - lines.begin();
    };
    EXPECT_LT(position("template.header.title"), position("template.aims"));
    EXPECT_LT(position("template.aims"), position("template.teachproc.1.container"));
    EXPECT_LT(position("template.teachproc.4.container"), position("template.blackboard"));
    EXPECT_LT(position("template.blackboard"), position("template.homework"));
    EXPECT_LT(position("template.homework"), position("template.reflection"));
    EXPECT_EQ(position("template.reflection") + 1, static_cast<long>(lines.size()));
}
