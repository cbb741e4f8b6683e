// The grid model on its own: building from the template, lookup, collection, values, names.
#include "plan/GridCell.h"
#include "plan/LineCopy.h"
#include "plan/PlanElements.h"
#include "plan/ViewPlenvo.h"

#include "plan/PlanSamples.h"

#include "gfx/Units.h"
#include "view/ViewFactory.h"
#include "view/controls/Controls.h"

#include <gtest/gtest.h>

namespace {

using namespace Plenvo;
using nlohmann::json;

class GridModel : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterControls();
        RegisterPlanElements();
        gfx::SetScreenDpi(96);
    }
    static std::shared_ptr<CViewPlenvo> Build(const json& data) {
        return std::dynamic_pointer_cast<CViewPlenvo>(CreateViewElement(data));
    }
    static std::vector<std::string> Names(const std::vector<std::shared_ptr<CGridCell>>& cells) {
        std::vector<std::string> names;
        for (const auto& cell : cells) {
            names.push_back(cell->Name());
        }
        return names;
    }
};

TEST_F(GridModel, BuildsLinesCellsAndContainersFromTheTemplate) {
    auto plan = Build(plantest::SamplePlan());
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->GetName(), "plenvo");
    ASSERT_EQ(plan->Lines().size(), 5u);
    const auto& aims = plan->Lines()[2];
    ASSERT_EQ(aims->Cells().size(), 2u);
    const auto& list = aims->Cells()[1];
    EXPECT_TRUE(list->IsContainer());
    EXPECT_TRUE(list->IsExtendable());
    ASSERT_EQ(list->Lines().size(), 1u);
    // Parents are linked at every depth.
    EXPECT_EQ(list->ParentLine(), aims);
    EXPECT_EQ(list->Lines()[0]->ParentCell(), list);
    EXPECT_EQ(list->Lines()[0]->Cells()[0]->ParentLine(), list->Lines()[0]);
    EXPECT_TRUE(aims->IsTopLevel());
    EXPECT_FALSE(list->Lines()[0]->IsTopLevel());

    // Absent or non-array gridlines: an open plan without lines.
    json data = plantest::SamplePlan();
    data.erase("gridlines");
    EXPECT_TRUE(Build(data)->Lines().empty());
    data["gridlines"] = "lines";
    EXPECT_TRUE(Build(data)->Lines().empty());
}

TEST_F(GridModel, MembersOfTheWrongTypeCountAsAbsentAndHeightsHaveAFloor) {
    json data = plantest::SamplePlan();
    data["gridlines"] = json::parse(R"([{"name": 5, "width": "wide", "extendable": "yes", "cells": [
        {"name": "low", "width": 20, "height": 5},
        {"name": "tall", "width": 20, "height": 12},
        {"name": "box", "width": 20, "value": "ignored", "lines": []},
        {"name": "odd", "width": 20, "readonly": "true", "value": 7}]}])");
    auto plan = Build(data);
    const auto& line = plan->Lines().at(0);
    EXPECT_EQ(line->Name(), "");
    EXPECT_EQ(line->Width(), 0);
    EXPECT_FALSE(line->IsExtendable());
    EXPECT_EQ(plan->FindCell("low")->MinimumHeight(), 8.0);
    EXPECT_EQ(plan->FindCell("tall")->MinimumHeight(), 12.0);
    // A cell with "lines" is a container whatever its "value" says.
    EXPECT_TRUE(plan->FindCell("box")->IsContainer());
    EXPECT_EQ(plan->FindCell("box")->GetValue(), "");
    EXPECT_TRUE(plan->FindCell("odd")->IsEditable());
    EXPECT_EQ(plan->FindCell("odd")->GetText(), "");
}

TEST_F(GridModel, LookupIsDepthFirstAndCellAtTakesOnlyTextCells) {
    json data = plantest::SamplePlan();
    data["gridlines"] = json::parse(R"([{"name": "l", "width": 100, "cells": [
        {"name": "box", "width": 50, "lines": [{"name": "sub", "width": 50, "cells": [
            {"name": "twin", "width": 50, "height": 10, "value": "inner"}]}]},
        {"name": "twin", "width": 50, "height": 10, "value": "outer"}]},
        {"name": "m", "width": 100, "cells": [{"name": "box", "width": 100, "height": 10}]}])");
    auto plan = Build(data);
    EXPECT_EQ(plan->FindCell("twin")->GetText(), "inner");
    EXPECT_EQ(plan->FindCell("box")->IsContainer(), true);
    EXPECT_EQ(plan->FindCell("nothing"), nullptr);
    EXPECT_EQ(plan->FindCell("Twin"), nullptr);

    gfx::RectF area;
    gfx::SizeF size;
    plan->SetSpace({200, 300});
    plan->Layout(area, {0, 0}, size, false);
    // The container's own rectangle holds the inner text cell; the container is never taken.
    const auto inner = plan->FindCell("twin");
    const gfx::RectF r = inner->Rect();
    EXPECT_EQ(plan->CellAt({r.x + 1, r.y + 1}), inner);
    EXPECT_EQ(plan->CellAt({r.x + r.width, r.y + 1})->GetText(), "outer");
    EXPECT_EQ(plan->CellAt({r.x - 5, r.y + 1}), nullptr);
}

TEST_F(GridModel, CollectionTakesAcceptedCellsWholeAndTakeChangedClearsFlags) {
    auto plan = Build(plantest::SamplePlan());
    const auto editable = plan->CollectCells([](CGridCell& cell) { return cell.IsEditable(); });
    EXPECT_EQ(Names(editable),
              (std::vector<std::string>{"row.a", "row.b", "row.c", "template.aims.1.text",
                                        "template.teachproc.7.aim", "template.teachproc.7.step",
                                        "template.teachproc.8.aim", "template.teachproc.8.step"}));
    const auto containers = plan->CollectCells([](CGridCell& cell) { return cell.IsContainer(); });
    EXPECT_EQ(Names(containers), (std::vector<std::string>{"template.aims.list"}));

    EXPECT_FALSE(plan->TakeChanges());
    plan->FindCell("row.b")->MarkChanged();
    plan->FindCell("template.aims.1.text")->MarkChanged();
    EXPECT_TRUE(plan->TakeChanges());
    EXPECT_FALSE(plan->TakeChanges());
}

TEST_F(GridModel, ValuesGoInAsRtfOrPlainTextAndComeOutAsRtf) {
    auto plan = Build(plantest::SamplePlan());
    auto cell = plan->FindCell("row.a");
    cell->SetValue(R"(__RTF__{\rtf1\ansi{\fonttbl{\f0 SimSun;}}\f0 Hello \b bold\b0\par})");
    EXPECT_EQ(cell->GetText(), "Hello bold");
    const std::string value = cell->GetValue();
    ASSERT_EQ(value.rfind("__RTF__{\\rtf1", 0), 0u) << value;
    EXPECT_NE(value.find("\\b"), std::string::npos);
    // Six of the seven characters: plain text, kept as it is.
    cell->SetValue(R"(__RTF_{\rtf1 x})");
    EXPECT_EQ(cell->GetText(), R"(__RTF_{\rtf1 x})");
    // What the program sets itself is no edit of the teacher's.
    EXPECT_FALSE(cell->TakeChanged());

    // A value read back loads into another cell unchanged, Chinese included.
    cell->SetText("教学目标：理解课文");
    auto other = plan->FindCell("row.c");
    other->SetValue(cell->GetValue());
    EXPECT_EQ(other->GetText(), "教学目标：理解课文");
    EXPECT_EQ(plan->FindCell("template.aims.list")->GetValue(), "");
}

TEST_F(GridModel, GradeAndSubjectShowTheirNamesAndAnythingElseShowsAnUnderscore) {
    const auto shown = [&](const char* grade, const char* subject) {
        json data = plantest::SamplePlan();
        data["grade"] = grade;
        data["subject"] = subject;
        auto plan = Build(data);
        return plan->FindCell("template.grade.value")->GetText() + "|" +
               plan->FindCell("template.subject.value")->GetText();
    };
    EXPECT_EQ(shown("12", "10"), "十二年级|体育");
    EXPECT_EQ(shown("1", "1"), "一年级|语文");
    EXPECT_EQ(shown("", "abc"), "_|_");
    EXPECT_EQ(shown("13", "-1"), "_|_");
    EXPECT_EQ(shown("3x", "99999999999"), "_|_");
}

TEST_F(GridModel, OnlyDecimalPlanIdsOpenAPlan) {
    for (const json& id : {json(42), json("42"), json("007")}) {
        json data = plantest::SamplePlan();
        data["id"] = id;
        auto plan = Build(data);
        ASSERT_TRUE(plan) << id.dump();
        EXPECT_EQ(plan->GetPlanId(), id.is_string() ? id.get<std::string>() : "42");
    }
    for (const json& id : {json("../../etc/x"), json("4 2"), json("12a"), json(-5), json(1.5),
                           json(""), json(nullptr), json::array({1})}) {
        json data = plantest::SamplePlan();
        data["id"] = id;
        EXPECT_EQ(Build(data), nullptr) << id.dump();
    }
    json data = plantest::SamplePlan();
    data.erase("id");
    EXPECT_EQ(Build(data), nullptr);
}

TEST_F(GridModel, RecordTimesAreSecondsFromMilliseconds) {
    auto plan = Build(plantest::SamplePlan());
    EXPECT_EQ(plan->GetRecord().modified, 1700000000);
    EXPECT_EQ(plan->GetRecord().created, 1600000000);
    EXPECT_EQ(plan->GetRecord().lessiontitle, "荷塘月色");
}

TEST_F(GridModel, ACopiedTeachingLineIsRenamedAtEveryDepthAndEmptied) {
    const json source = json::parse(R"({"name": "template.teachproc.7.container", "width": 160,
      "extendable": true, "cells": [
        {"name": "template.teachproc.7.aim", "value": "导入"},
        {"name": "template.teachproc.7.step", "value": "讲解"},
        {"name": "shared.notes", "value": "x"},
        {"name": "template.teachproc.7.steps", "extendable": true,
         "extenddesc": {"name": "template.teachproc.7.steps.INCRVAL", "cells": [
           {"name": "template.teachproc.7.steps.INCRVAL.text"}]},
         "lines": [{"name": "template.teachproc.7.steps.1", "cells": [
           {"name": "template.teachproc.7.steps.1.text", "value": "1. 朗读"}]}]}]})");
    const json copy = CopyTeachingLine(source, TeachingLineStem(99));
    EXPECT_EQ(copy["name"], "template.teachproc.99.container");
    EXPECT_EQ(copy["removable"], true);
    EXPECT_EQ(copy["extendable"], true);
    EXPECT_EQ(copy["cells"][0]["name"], "template.teachproc.99.aim");
    EXPECT_EQ(copy["cells"][0]["value"], "");
    EXPECT_EQ(copy["cells"][1]["name"], "template.teachproc.99.step");
    // A name without the pattern keeps its name.
    EXPECT_EQ(copy["cells"][2]["name"], "shared.notes");
    const json& steps = copy["cells"][3];
    EXPECT_EQ(steps["name"], "template.teachproc.99.steps");
    EXPECT_EQ(steps["extenddesc"]["name"], "template.teachproc.99.steps.INCRVAL");
    EXPECT_EQ(steps["extenddesc"]["cells"][0]["name"], "template.teachproc.99.steps.INCRVAL.text");
    EXPECT_EQ(steps["lines"][0]["name"], "template.teachproc.99.steps.1");
    EXPECT_EQ(steps["lines"][0]["cells"][0]["name"], "template.teachproc.99.steps.1.text");
    EXPECT_EQ(steps["lines"][0]["cells"][0]["value"], "");
    EXPECT_FALSE(steps.contains("value"));

    // Each dot of the pattern matches any character; digits are taken greedily.
    EXPECT_EQ(RenameTeachingName("templateXteachprocY123.z", "S"), "S.z");
    EXPECT_EQ(RenameTeachingName("template.teachproc..z", "S"), "template.teachproc..z");
    EXPECT_EQ(RenameTeachingName("a.template.teachproc.1.b.template.teachproc.22", "S"), "a.S.b.S");
}

TEST_F(GridModel, ALessonTitleTooWideIsShortenedWithDots) {
    // Every character measures 1.
    const auto measure = [](const std::string& text) {
        double count = 0;
        for (unsigned char c : text) {
            count += (c & 0xC0) != 0x80 ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(CViewPlenvo::FitTitle("荷塘月色", 4, measure), "荷塘月色");
    EXPECT_EQ(CViewPlenvo::FitTitle("荷塘月色与背影", 6, measure), "荷塘月...");
    EXPECT_EQ(CViewPlenvo::FitTitle("荷塘", 1, measure), "...");
}

} // namespace
