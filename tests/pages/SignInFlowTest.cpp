#include "PagesFixture.h"

#include "net/RequestsDone.h"
#include "pages/LoginPage.h"
#include "pages/MainPage.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "support/Pump.h"
#include "view/controls/ViewComboBox.h"
#include "view/controls/ViewEdit.h"
#include "view/controls/ViewList.h"

#include <sys/stat.h>

using namespace pagestest;

namespace {

CViewList* History(CView& view) {
    return dynamic_cast<CViewList*>(view.FindByName("historylist").get());
}

CViewComboBox* Box(CView& view, const char* name) {
    return dynamic_cast<CViewComboBox*>(view.FindByName(name).get());
}

} // namespace

TEST_F(PagesTest, SignInNamesEmptyFieldsRefusesAWrongPasswordAndRemembersOnlySuccess) {
    // The remembered values of a first start.
    EXPECT_EQ(dynamic_cast<CViewEdit*>(Main().FindByName("loginidvalue").get())->GetText(),
              "000000");
    EXPECT_EQ(dynamic_cast<CViewEdit*>(Main().FindByName("loginnamevalue").get())->GetText(),
              "老师");

    SignIn("  ", "王老师", "");
    EXPECT_EQ(BottomMessage(), "[教师编号],[密码]不能为空");
    EXPECT_TRUE(Requests("login").empty());

    // The teacher exists with another password; cfg.ini must not change on a refusal.
    SignIn("1001", "王老师", "right");
    WaitFor([&] { return History(Main())->Items().empty() && Shows("createlpbutton"); },
            "the create form of a teacher without plans");
    const std::string remembered = ReadConfig();
    EXPECT_NE(remembered.find("PASSWORD=right"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat("cfg.ini", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    WaitFor([&] { return Requests("gethistory").size() == 1u; }, "the service's log line");

    app_->SetUser(nullptr);
    Main().FindByName("container1")->ClearChildren();
    CLoginPage::Show(Main());
    SignIn("1001", "王老师", "wrong");
    WaitFor([&] { return !BottomMessage().empty(); }, "the refusal");
    EXPECT_FALSE(app_->IsSignedIn());
    EXPECT_EQ(ReadConfig(), remembered);
    WaitFor([&] { return Requests("login").size() == 2u; }, "the service's log line");

    // A second successful sign-in starts no second upload thread.
    SignIn("1001", "王老师", "right");
    WaitFor([&] { return app_->IsSignedIn(); }, "the second sign-in");
    EXPECT_TRUE(app_->UploadThreadStarted());
    EXPECT_EQ(app_->User()->name, "王老师");
}

TEST_F(PagesTest, ASecondClickWhileTheLoginIsPendingSendsNothing) {
    Type("loginidvalue", "2002");
    Type("loginnamevalue", "李老师");
    Type("loginpasswordvalue", "pw");
    // The cover blocks the tree; call the page as a template applied again would.
    CLoginPage::SignIn(Main());
    CLoginPage::SignIn(Main());
    WaitFor([&] { return app_->IsSignedIn(); }, "the sign-in");
    WaitFor([&] { return !Requests("login").empty(); }, "the service's log line");
    ASSERT_TRUE(nettest::PumpUntilRequestsDone()) << "the requests in flight";
    EXPECT_EQ(Requests("login").size(), 1u);
}

TEST_F(PagesTest, CreateRemembersNoChoiceAsMinusOneAndTheNewPlanIsCheckedInTheHistory) {
    SignIn("3003", "赵老师", "pw");
    WaitFor([&] { return Shows("createlpbutton"); }, "the create form");
    Type("lessiontitle", "   ");
    Click("createlpbutton");
    EXPECT_EQ(BottomMessage(), "【课题名称】不能为空");
    EXPECT_TRUE(Requests("createlp").empty());

    // No grade: -1 is sent and remembered; the service asks for one.
    Box(Main(), "lessiontypevalue")->SelectByValue(1);
    Box(Main(), "subjectvalue")->SelectByValue(2);
    Type("lessiontitle", " 认识 图形 ");
    Click("createlpbutton");
    WaitFor([&] { return !BottomMessage().empty(); }, "the service's refusal");
    // The service logs a request after answering it.
    WaitFor([&] { return Requests("createlp").size() == 1u; }, "the service's log line");
    EXPECT_NE(Requests("createlp")[0].find("grade=-1"), std::string::npos);
    EXPECT_NE(ReadConfig().find("GRADE=-1"), std::string::npos);

    // The next create form preselects the remembered choices and no grade.
    Click("create_lession_button");
    EXPECT_EQ(Box(Main(), "gradevalue")->GetSelectedValue(), -1);
    EXPECT_EQ(Box(Main(), "subjectvalue")->GetSelectedValue(), 2);
    Box(Main(), "gradevalue")->SelectByValue(3);
    Type("lessiontitle", "认识图形");
    Click("createlpbutton");
    WaitFor([&] { return History(Main()) && !History(Main())->Items().empty(); },
            "the refreshed history");
    const auto& item = *History(Main())->Items().front();
    EXPECT_EQ(item.GetTitle(), "认识图形");
    // The plan replaced the form in the content area.
    EXPECT_FALSE(Shows("createlpbutton"));
    EXPECT_NE(item.GetSubtitle().find("年"), std::string::npos);
    EXPECT_EQ(app_->Views().size(), 2u) << "the suggestion window opens for the new plan";
}

TEST_F(PagesTest, EditInfoShowsThePlanAndDeleteAsksFirst) {
    SignIn("4004", "钱老师", "pw");
    WaitFor([&] { return Shows("createlpbutton"); }, "the create form");
    std::size_t count = 0;
    for (const char* title : {"第一课", "第二课"}) {
        Click("create_lession_button");
        Box(Main(), "lessiontypevalue")->SelectByValue(1);
        Box(Main(), "gradevalue")->SelectByValue(4);
        Box(Main(), "subjectvalue")->SelectByValue(1);
        Type("lessiontitle", title);
        Click("createlpbutton");
        ++count;
        WaitFor([&] { return History(Main())->Items().size() == count; }, title);
    }
    auto* list = History(Main());
    const std::uint32_t first = list->Items()[0]->GetTitle() == "第一课"
                                    ? list->Items()[0]->GetId()
                                    : list->Items()[1]->GetId();

    // Edit basic information through the context menu.
    platform::SetPopupMenuHandler([](const platform::PopupMenuRequest& menu) -> platform::UINT {
        EXPECT_EQ(menu.items.size(), 3u);
        EXPECT_EQ(menu.items[0].text, "打开");
        return 4;
    });
    RightClickHistoryItem(first);
    WaitFor([&] { return Shows("savebutton"); }, "the edit-info form");
    EXPECT_EQ(dynamic_cast<CViewEdit*>(Main().FindByName("lessiontitle").get())->GetText(),
              "第一课");
    EXPECT_EQ(Box(Main(), "gradevalue")->GetSelectedValue(), 4);

    // Delete asks first, naming the plan; No sends nothing.
    std::string asked;
    int answer = platform::IDNO;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& box) {
        asked = box.text;
        return answer;
    });
    platform::SetPopupMenuHandler([](const auto&) -> platform::UINT { return 3; });
    RightClickHistoryItem(first);
    EXPECT_NE(asked.find("第一课"), std::string::npos);
    ASSERT_TRUE(nettest::PumpUntilRequestsDone()) << "the requests in flight";
    EXPECT_TRUE(Requests("deletelp").empty());
    answer = platform::IDYES;
    RightClickHistoryItem(first);
    WaitFor([&] { return History(Main())->Items().size() == 1u; }, "the history without it");
    WaitFor([&] { return Requests("deletelp").size() == 1u; }, "the service's log line");
    EXPECT_EQ(History(Main())->GetItem(first), nullptr);
}
