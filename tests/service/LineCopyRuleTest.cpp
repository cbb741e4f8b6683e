// The service's copy of an added teaching line names its cells as the client's copy does, at
// every depth, so that values saved into the copy never land in the source line's cells.
#include "PlanTemplate.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;
using PlenvoService::PlanTemplate;

TEST(LineCopyRule, EveryNameOfTheCopyIsRenamedAndEveryTextEmptied) {
    json grid = json::parse(R"([{"name": "template.teachproc.7.container", "extendable": true,
      "cells": [
        {"name": "template.teachproc.7.aim", "value": "导入"},
        {"name": "shared.notes", "value": "x"},
        {"name": "template.teachproc.7.steps", "extendable": true,
         "extenddesc": {"name": "template.teachproc.7.steps.INCRVAL", "cells": [
           {"name": "template.teachproc.7.steps.INCRVAL.text"}]},
         "lines": [{"name": "template.teachproc.7.steps.1", "cells": [
           {"name": "template.teachproc.7.steps.1.text", "value": "1. 朗读"}]}]}]}])");
    ASSERT_TRUE(PlanTemplate::InsertLineAfter(grid, "template.teachproc.99.container",
                                              "template.teachproc.7.container"));
    ASSERT_EQ(grid.size(), 2u);
    const json& copy = grid[1];
    EXPECT_EQ(copy["removable"], true);
    EXPECT_EQ(copy["cells"][0]["name"], "template.teachproc.99.aim");
    EXPECT_EQ(copy["cells"][0]["value"], "");
    EXPECT_EQ(copy["cells"][1]["name"], "shared.notes");
    const json& steps = copy["cells"][2];
    EXPECT_EQ(steps["name"], "template.teachproc.99.steps");
    EXPECT_EQ(steps["extenddesc"]["name"], "template.teachproc.99.steps.INCRVAL");
    EXPECT_EQ(steps["extenddesc"]["cells"][0]["name"], "template.teachproc.99.steps.INCRVAL.text");
    EXPECT_EQ(steps["lines"][0]["name"], "template.teachproc.99.steps.1");
    EXPECT_EQ(steps["lines"][0]["cells"][0]["name"], "template.teachproc.99.steps.1.text");
    EXPECT_EQ(steps["lines"][0]["cells"][0]["value"], "");
    // The source keeps its names and texts.
    EXPECT_EQ(grid[0]["cells"][2]["lines"][0]["cells"][0]["value"], "1. 朗读");

    // Enter in the copy's list adds to the copy, not to the source.
    ASSERT_TRUE(PlanTemplate::AppendSubLine(grid, "template.teachproc.99.steps.555"));
    EXPECT_EQ(grid[1]["cells"][2]["lines"].size(), 2u);
    EXPECT_EQ(grid[0]["cells"][2]["lines"].size(), 1u);
}

} // namespace
