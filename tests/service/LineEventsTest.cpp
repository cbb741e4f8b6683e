#include "ServiceFixture.h"

#include <algorithm>

using namespace PlenvoServiceTest;

namespace {
const json* FindLine(const json& grid, const std::string& name) {
    for (const auto& line : grid)
        if (line.value("name", "") == name)
            return &line;
    return nullptr;
}

json ListCell(const json& grid, const std::string& name) {
    for (const auto& [cellName, cell] : Cells(grid))
        if (cellName == name)
            return cell;
    return json();
}
} // namespace

class LineEventTest : public ServiceTest {
protected:
    void SetUp() override {
        ServiceTest::SetUp();
        teacher_ = SignIn("1001");
        id_ = CreatePlan(teacher_);
        plan_ = std::to_string(id_);
    }
    json Event(const std::string& query) {
        return GetJson("event?" + query + "&id=" + plan_, &teacher_);
    }
    json Grid() { return OpenPlan(teacher_, id_)["gridlines"]; }

    Teacher teacher_;
    int64_t id_ = 0;
    std::string plan_;
};

TEST_F(LineEventTest, AddedTeachingLineIsCopiedRenamedAndKeptAcrossReopens) {
    const std::string name = "template.teachproc.123456.container";
    json reply = Event("e=addline&name=" + Encode(name) +
                       "&aftername=" + Encode("template.teachproc.2.container"));
    ASSERT_EQ(reply["ok"], true) << reply.dump();

    json grid = Grid();
    auto names = LineNames(grid);
    auto at = std::find(names.begin(), names.end(), "template.teachproc.2.container");
    ASSERT_NE(at, names.end());
    ASSERT_NE(at + 1, names.end());
    EXPECT_EQ(*(at + 1), name);
    const json& line = *FindLine(grid, name);
    EXPECT_EQ(line["removable"], true);
    EXPECT_EQ(line["extendable"], true);
    std::vector<std::string> cellNames;
    for (const auto& cell : line["cells"]) {
        cellNames.push_back(cell["name"]);
        EXPECT_EQ(cell["value"], "");
    }
    EXPECT_EQ(cellNames, (std::vector<std::string>{"template.teachproc.123456.stage",
                                                   "template.teachproc.123456.teacher",
                                                   "template.teachproc.123456.student",
                                                   "template.teachproc.123456.intent"}));

    // Values saved into the new line come back with it, also after a restart.
    ASSERT_EQ(Save(teacher_, id_, "1.1.1", {{"template.teachproc.123456.teacher", "new"}})["ok"],
              true);
    Restart();
    EXPECT_EQ(CellValue(Grid(), "template.teachproc.123456.teacher"), "new");

    // Removing it restores the template's lines.
    EXPECT_EQ(Event("e=delline&name=" + Encode(name))["ok"], true);
    EXPECT_EQ(LineNames(Grid()), LineNames(PlenvoService::PlanTemplate::NewGrid()));
}

TEST_F(LineEventTest, LinesThatMayNotBeAddedOrRemovedAreRefused) {
    const json before = Grid();
    for (const std::string& query : std::vector<std::string>{
             // unknown line to follow, a name that is not a teaching line, a duplicate name
             "e=addline&name=template.teachproc.9.container&aftername=nosuchline",
             "e=addline&name=template.teachproc.9.container&aftername=template.header.title",
             "e=addline&name=evil&aftername=template.teachproc.1.container",
             "e=addline&name=template.teachproc.1.container&aftername=template.teachproc.1."
             "container",
             // the first teaching line and the header lines are not removable
             "e=delline&name=template.teachproc.1.container",
             "e=delline&name=template.header.title",
             "e=delline&name=nosuchline",
             "e=delline&name=",
             "e=explode&name=template.teachproc.2.container",
         }) {
        EXPECT_EQ(Event(query)["ok"], false) << query;
    }
    EXPECT_EQ(Grid(), before);
}

TEST_F(LineEventTest, EnterSubLinesAreNumberedAndTheLastOneStays) {
    // The client names a sub-line from "extenddesc" with INCRVAL replaced by its tick count.
    ASSERT_EQ(Event("e=addline&name=template.aims.5001")["ok"], true);
    ASSERT_EQ(Event("e=addline&name=template.aims.5002")["ok"], true);
    json grid = Grid();
    json list = ListCell(grid, "template.aims.list");
    ASSERT_EQ(list["lines"].size(), 3u);
    EXPECT_EQ(list["lines"][1]["name"], "template.aims.5001");
    EXPECT_EQ(list["lines"][1]["cells"][0]["name"], "template.aims.5001.text");
    EXPECT_EQ(list["lines"][1]["cells"][0]["value"], "2.");
    EXPECT_EQ(list["lines"][2]["cells"][0]["value"], "3.");
    EXPECT_EQ(list["lines"][2]["cells"][0]["deleteonempty"], true);

    // A name no extendable cell owns, or one that exists, adds nothing.
    EXPECT_EQ(Event("e=addline&name=template.aims.5001")["ok"], false);
    EXPECT_EQ(Event("e=addline&name=template.nothing.5003")["ok"], false);
    EXPECT_EQ(Event("e=addline&name=template.aims.x")["ok"], false);

    // Emptied sub-lines are removed, but never a container's last one.
    EXPECT_EQ(Event("e=delline&name=template.aims.5001")["ok"], true);
    EXPECT_EQ(Event("e=delline&name=template.aims.1")["ok"], true);
    EXPECT_EQ(Event("e=delline&name=template.aims.5002")["ok"], false);
    json left = ListCell(Grid(), "template.aims.list");
    ASSERT_EQ(left["lines"].size(), 1u);
    EXPECT_EQ(left["lines"][0]["name"], "template.aims.5002");

    // The homework list is a second, independent one.
    EXPECT_EQ(Event("e=addline&name=template.homework.77")["ok"], true);
    EXPECT_EQ(ListCell(Grid(), "template.homework.list")["lines"].size(), 2u);
}

TEST_F(LineEventTest, APlanCannotGrowWithoutBound) {
    options_.limits.maxLinesPerPlan =
        PlenvoService::PlanTemplate::CountLines(PlenvoService::PlanTemplate::NewGrid()) + 2;
    Restart();
    EXPECT_EQ(Event("e=addline&name=template.aims.1001")["ok"], true);
    EXPECT_EQ(Event("e=addline&name=template.aims.1002")["ok"], true);
    EXPECT_EQ(Event("e=addline&name=template.aims.1003")["ok"], false);
    EXPECT_EQ(Event("e=addline&name=template.teachproc.5.container&aftername=template.teachproc."
                    "1.container")["ok"],
              false);
}
