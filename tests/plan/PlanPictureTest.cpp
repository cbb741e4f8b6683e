// The reference service's plan template drawn by the plan element in a main window's content
// area: the header, the grid with its read-only labels, the teaching lines and their icons.
#include "plan/PlanFixture.h"

#include "platform/OffscreenWindow.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using namespace plantest;

using PlanPicture = PlanFixture;

nlohmann::json ServicePlan() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                     "service" / "templates" / "plan.json");
    nlohmann::json plan = nlohmann::json::parse(in);
    plan["type"] = "plenvo";
    plan["id"] = 3;
    plan["lessiontitle"] = "荷塘月色";
    plan["grade"] = "10";
    plan["subject"] = "1";
    plan["modified"] = 1750000000000LL;
    return plan;
}

TEST_F(PlanPicture, TheServicePlanTemplateIsDrawnWithItsLabelsAndLineIcons) {
    Open(ServicePlan());
    OffscreenWindow& window = *static_cast<OffscreenWindow*>(view->Window());
    const Image frame = window.PaintAll();
    if (const char* folder = std::getenv("PLENVO_SCREENSHOTS")) {
        frame.SavePng(std::string(folder) + "/plan-offscreen.png");
    }
    const auto pixel = [&](double xMm, double yMm) {
        return frame.Pixel(Px(xMm), Px(yMm));
    };
    // A read-only label cell is filled, an editable one is not.
    const gfx::RectF label = plan->FindCell("template.aims.label")->Rect();
    EXPECT_EQ(pixel(label.x + 1, label.y + 1), CGridCell::kReadOnlyFill);
    const gfx::RectF open = plan->FindCell("template.keypoints.value")->Rect();
    EXPECT_EQ(pixel(open.x + 1, open.y + 1), 0xFFFFFFFFu);
    // The add-line icon beside a teaching line is drawn (not white).
    const auto& line = plan->FindCell("template.teachproc.1.stage")->ParentLine();
    const gfx::RectF icon = line->AddIconRect();
    bool drawn = false;
    for (double dx = 0.5; dx < icon.width; dx += 0.5) {
        drawn = drawn || pixel(icon.x + dx, icon.y + icon.height / 2) != 0xFFFFFFFFu;
    }
    EXPECT_TRUE(drawn) << "no add-line icon beside the teaching line";
    EXPECT_EQ(plan->FindCell("template.grade.value")->GetText(), "十年级");
}

} // namespace
