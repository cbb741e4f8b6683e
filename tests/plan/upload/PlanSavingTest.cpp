// The open plan keeps the teacher's work: versions on close and by the autosave, the newest laid
// over the plan when it opens, and the direct save, in an offscreen window against a real server.
#include "plan/PlanSaving.h"
#include "net/Response.h"
#include "net/Session.h"
#include "net/TestServer.h"
#include "plan/Autosave.h"
#include "plan/PlanElements.h"
#include "plan/VersionFolder.h"
#include "plan/ViewPlenvo.h"
#include "platform/Dialogs.h"
#include "support/Pump.h"
#include "support/TempDir.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/controls/Controls.h"
#include "view/controls/ViewLabel.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

using namespace Plenvo;
using testsupport::TempDir;

namespace {

nlohmann::json Plan(const std::string& id) {
    return nlohmann::json::parse(R"({"type": "plenvo", "id": )" + id + R"(, "title": "课时教学设计",
      "lessiontitle": "荷塘月色", "grade": "10", "subject": "1", "layer": 1,
      "gridlines": [
        {"name": "row", "width": 160, "cells": [
          {"name": "row.a", "width": 40, "height": 10, "multiline": true},
          {"name": "row.label", "width": 40, "height": 10, "readonly": true, "value": "标签"},
          {"name": "row.b", "width": 40, "height": 10, "multiline": true, "value": "中间"},
          {"name": "row.c", "width": 40, "height": 10, "multiline": true}]}]})");
}

std::vector<std::string> Versions(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class PlanSaving : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterControls();
        RegisterPlanElements();
        CPlanSaving::Register();
        folder = std::make_shared<CVersionFolder>(dir.Path());
        CVersionFolder::SetCurrent(folder);
        server.Post("event/save", [this](const auto&, auto& res) {
            std::unique_lock lock(mutex);
            cv.wait(lock, [&] { return open; });
            res.set_content(reply, "application/json");
        });
        server.Start();
    }
    void TearDown() override {
        platform::SetMessageBoxHandler({});
        Release();
        plan.reset();
        if (view) {
            view->Destroy();
        }
        CVersionFolder::SetCurrent(nullptr);
    }
    void Open(const std::string& id = "42") {
        view = std::make_shared<CView>(
            "main", ViewServices{std::make_shared<SimpleCurl::CSession>(), server.Base(), true});
        ASSERT_TRUE(view->Create());
        SimpleCurl::response layout;
        layout.finished = true;
        layout.status = 200;
        layout.contentType = "application/json";
        layout.body = R"({"elements":[{"name":"container1","width":"100%","height":"100%"}]})";
        view->OnTemplateReply(layout);
        plan = std::dynamic_pointer_cast<CViewPlenvo>(CreateViewElement(Plan(id)));
        ASSERT_TRUE(plan);
        plan->SetClocks([this] { return tick; }, [] { return 1700000000; });
        view->FindByName("container1")->AddChild(plan);
    }
    void Edit(const std::string& cell, const std::string& text) {
        plan->FindCell(cell)->SetText(text);
        plan->FindCell(cell)->MarkChanged();
    }
    void Release() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        cv.notify_all();
    }
    std::string Toast() {
        const auto& toasts = view->Overlays().Toasts();
        auto* label = toasts.empty() ? nullptr : dynamic_cast<CViewLabel*>(toasts.back().get());
        return label ? label->GetValue() : std::string();
    }

    TempDir dir;
    std::shared_ptr<CVersionFolder> folder;
    std::mutex mutex;
    std::condition_variable cv;
    bool open = true;
    std::string reply = R"({"ok":true})";
    // After what it answers with, so that it stops before those go away.
    nettest::TestServer server;
    std::shared_ptr<CView> view;
    std::shared_ptr<CViewPlenvo> plan;
    std::uint32_t tick = 1000;
};

} // namespace

TEST_F(PlanSaving, ClosingWritesOneVersionOnlyAfterAChange) {
    Open();
    view->Close();
    EXPECT_TRUE(Versions(dir).empty()) << "no change, no file";

    Open();
    Edit("row.a", "新的内容");
    view->Close();
    const auto names = Versions(dir);
    ASSERT_EQ(names.size(), 1u);
    const auto version = folder->Newest("42");
    ASSERT_TRUE(version);
    const auto& fields = version->fields;
    EXPECT_EQ(fields.size(), 7u) << fields.dump();
    EXPECT_EQ(fields["id"], "42");
    EXPECT_EQ(fields["lessiontitle"], "荷塘月色");
    EXPECT_EQ(fields["grade"], "10");
    EXPECT_EQ(fields["subject"], "1");
    for (const char* cell : {"row.a", "row.b", "row.c"}) {
        EXPECT_TRUE(fields[cell].get<std::string>().starts_with("__RTF__")) << cell;
    }
    EXPECT_FALSE(fields.contains("row.label"));
}

TEST_F(PlanSaving, OpeningLaysTheNewestVersionOfThatPlanOver) {
    ASSERT_TRUE(folder
                    ->Save("42", {{"id", "42"},
                                  {"lessiontitle", "新标题"},
                                  {"grade", "11"},
                                  {"subject", "2"},
                                  {"row.a", "保存的文字"},
                                  {"row.b", "旧"}})
                    .ok);
    ASSERT_TRUE(folder
                    ->Save("42", {{"id", "42"},
                                  {"lessiontitle", "新标题"},
                                  {"grade", "11"},
                                  {"subject", "2"},
                                  {"row.a", "保存的文字"}})
                    .ok);
    ASSERT_TRUE(folder->Save("420", {{"id", "420"}, {"row.c", "别的教案"}}).ok);
    Open();
    EXPECT_EQ(plan->FindCell("row.a")->GetText(), "保存的文字");
    EXPECT_EQ(plan->FindCell("row.b")->GetText(), "中间") << "not in the newest: the template's";
    EXPECT_EQ(plan->FindCell("row.c")->GetText(), "");
    EXPECT_EQ(plan->GetRecord().lessiontitle, "新标题");
    EXPECT_EQ(plan->GetRecord().grade, "11");
    EXPECT_FALSE(plan->TakeChanges()) << "loading is not an edit";
}

TEST_F(PlanSaving, AVersionThatCannotBeWrittenIsToldAndTheCloseAsks) {
    CVersionFolder::SetCurrent(std::make_shared<CVersionFolder>(dir.File("gone")));
    Open();
    Edit("row.a", "写不下的内容");
    int asked = 0;
    int answer = platform::IDNO;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& request) {
        ++asked;
        EXPECT_NE(request.text.find("仍要关闭吗"), std::string::npos);
        return answer;
    });
    view->Close();
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(view->WindowExists()) << "the teacher kept the window";
    ASSERT_EQ(view->Overlays().BottomMessages().size(), 1u);
    // The changes still count as unsaved: once the folder is back, the close writes them.
    CVersionFolder::SetCurrent(folder);
    answer = platform::IDYES;
    view->Close();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(view->WindowExists());
    ASSERT_TRUE(folder->Newest("42"));
}

TEST_F(PlanSaving, TheDirectSaveClearsOnlyCellsUnchangedSinceTheyWereSent) {
    Open();
    ASSERT_TRUE(folder->Save("42", {{"id", "42"}, {"row.a", "自动保存的旧版本"}}).ok);
    Edit("row.a", "发送的内容");
    Edit("row.c", "也发送了");
    {
        std::lock_guard lock(mutex);
        open = false;
    }
    plan->SaveToService();
    EXPECT_TRUE(view->Overlays().Cover()) << "the progress cover while the request is away";
    // Typed while the save is on its way.
    Edit("row.a", "发送之后又改了");
    Release();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !Toast().empty(); }, 20000));
    EXPECT_EQ(Toast(), "保存成功");
    EXPECT_FALSE(view->Overlays().Cover());
    EXPECT_TRUE(plan->FindCell("row.a")->IsChanged());
    EXPECT_FALSE(plan->FindCell("row.c")->IsChanged());
    EXPECT_TRUE(Versions(dir).empty()) << "the older version would bring older text back";
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].target.starts_with("/plenvo/event/save?id=42&t="));
    EXPECT_NE(requests[0].body.find("row.a=%5F%5FRTF%5F%5F"), std::string::npos)
        << requests[0].body;
    EXPECT_EQ(requests[0].body.find("lessiontitle"), std::string::npos);

    // A refusal is shown and clears nothing.
    {
        std::lock_guard lock(mutex);
        reply = R"({"ok":false,"error":"教案已被删除"})";
    }
    Edit("row.c", "再改一次");
    plan->SaveToService();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return Toast() != "保存成功"; }, 20000));
    EXPECT_EQ(Toast(), "教案已被删除");
    EXPECT_TRUE(plan->FindCell("row.c")->IsChanged());
}

TEST_F(PlanSaving, TheAutosaveWritesWithinThirtySecondsOfTheFirstChangeAndOnlyThen) {
    Open();
    CAutosave autosave;
    CPlanSaving::CheckAutosave(*plan, autosave);
    EXPECT_FALSE(autosave.Pending());
    // The change is made just after a look; the next look sees it.
    Edit("row.a", "第一处修改");
    tick += CAutosave::kCheckMs;
    const std::uint32_t changedAt = tick - 1;
    for (; tick - changedAt < CAutosave::kDelayMs; tick += CAutosave::kCheckMs) {
        CPlanSaving::CheckAutosave(*plan, autosave);
        if (!Versions(dir).empty()) {
            break;
        }
        Edit("row.b", "一直在打字");
    }
    ASSERT_EQ(Versions(dir).size(), 1u) << "no version within 30 s of the first change";
    EXPECT_LE(tick - changedAt, CAutosave::kDelayMs);
    EXPECT_FALSE(plan->FindCell("row.a")->IsChanged());
    // Nothing new: no new version, however long the plan stays open.
    for (int i = 0; i < 100; ++i, tick += CAutosave::kCheckMs) {
        CPlanSaving::CheckAutosave(*plan, autosave);
    }
    EXPECT_EQ(Versions(dir).size(), 1u);
    view->Close();
    EXPECT_EQ(Versions(dir).size(), 1u) << "the close finds nothing unsaved";
}
