#include "view/controls/ViewEdit.h"

#include "view/TestRoot.h"

#include "gfx/Bitmap.h"
#include "gfx/OffscreenSurface.h"
#include "platform/Clipboard.h"
#include "platform/Dialogs.h"
#include "platform/Keyboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Plenvo;
using namespace platform;
using PlenvoTest::TestRoot;

// A root of edits laid out one below the other.
class EditRoot : public TestRoot {
public:
    static std::shared_ptr<EditRoot> Make(const std::string& elements) {
        auto root = Open(std::make_shared<EditRoot>(
            Json::parse(R"({"layout":"vertical","elements":[)" + elements + "]}")));
        root->LayoutAll(200, 200);
        return root;
    }
    explicit EditRoot(Json description) : TestRoot(std::move(description)) {}

    CViewEdit& Edit(std::size_t i) { return static_cast<CViewEdit&>(*GetChildren().at(i)); }
    void ClickIn(std::size_t i, double dx = 1, double dy = 1) {
        const gfx::RectF r = Edit(i).TextRect();
        Mouse(WM_LBUTTONDOWN, Px(r.x + dx), Px(r.y + dy), MK_LBUTTON);
        Mouse(WM_LBUTTONUP, Px(r.x + dx), Px(r.y + dy));
    }
    void Type(std::u16string_view text) {
        for (char16_t c : text) {
            Send(WM_CHAR, c);
        }
    }
    void Key(WPARAM key, bool control = false) {
        SetModifierState(false, control, false);
        Send(WM_KEYDOWN, key);
        Send(WM_KEYUP, key);
        SetModifierState(false, false, false);
    }
};

class ViewEdit : public ::testing::Test {
protected:
    void SetUp() override { RegisterElementType<CViewEdit>("edit"); }
    void TearDown() override { SetPopupMenuHandler({}); }
};

TEST_F(ViewEdit, ReadsItsMembersWithTheTemplatesSpelling) {
    auto root = EditRoot::Make(
        R"({"type":"edit","height":12,"password":true,"multiline":true,"maxlength":-1,
            "font-family":"微软雅黑","color":"rgb(10,20,30) ","content-paddign":2.5},
           {"type":"edit","height":12,"readonly":true,"content-padding":4,"font-family":""})");
    CViewEdit& a = root->Edit(0);
    EXPECT_EQ(a.GetEditStyle(), ES_PASSWORD | ES_MULTILINE);
    EXPECT_EQ(a.GetMaxLength(), -1);
    EXPECT_EQ(a.GetTextHost()->TxGetMaxLength(), -1); // handed on as given
    EXPECT_EQ(a.GetFontFamily(), "微软雅黑");
    EXPECT_EQ(a.GetColor(), 0xFF0A141Eu);
    EXPECT_DOUBLE_EQ(a.GetContentPadding(), 2.5);
    EXPECT_FALSE(a.IsAutoHeight());
    EXPECT_EQ(a.GetTextHost()->TxGetCharFormat().color, 0x0A141Eu);
    CViewEdit& b = root->Edit(1);
    EXPECT_EQ(b.GetEditStyle(), ES_READONLY);
    EXPECT_EQ(b.GetMaxLength(), 80);
    EXPECT_DOUBLE_EQ(b.GetContentPadding(), 0); // only "content-paddign" counts
    EXPECT_EQ(b.GetFontFamily(), "宋体");
    // Font height 20 at 96 dpi with the 9-point message font: trunc(20 / 25.4 * 96 * 9) twips.
    EXPECT_EQ(b.GetTextHost()->TxGetCharFormat().heightTwips, 680);
}

TEST_F(ViewEdit, WithoutAHeightItGrowsToItsText) {
    auto root = EditRoot::Make(
        R"({"type":"edit","width":60,"value":"a","content-paddign":2,"font-height":5},
           {"type":"edit","width":60,"height":{},"multiline":true,"maxlength":-1,
            "font-height":5,"content-paddign":2,
            "value":"many words that wrap over several lines in a narrow field, again and again"},
           {"type":"edit","width":60,"height":15,"value":"fixed"})");
    CViewEdit& one = root->Edit(0);
    CViewEdit& many = root->Edit(1);
    ASSERT_TRUE(one.IsAutoHeight());
    ASSERT_TRUE(many.IsAutoHeight());
    const int natural = one.GetTextHost()->NaturalHeight(TestRoot::Px(56), 96);
    EXPECT_NEAR(one.GetSize().height, natural * 25.4 / 96 + 2 * 2 + 10, 1e-9);
    EXPECT_GT(many.GetSize().height, one.GetSize().height + 8);
    EXPECT_DOUBLE_EQ(root->Edit(2).GetSize().height, 15);
    // The elements stack with their grown heights.
    EXPECT_NEAR(many.GetPosition().y, one.GetSize().height, 1e-9);
}

TEST_F(ViewEdit, KeysReachOnlyTheFocusedEditAndRespectTheMaximumLength) {
    auto root = EditRoot::Make(R"({"type":"edit","height":10,"width":150},
                                  {"type":"edit","height":10,"width":150,"maxlength":3})");
    root->Type(u"lost");
    EXPECT_EQ(root->Edit(0).GetText(), "");
    root->ClickIn(0);
    EXPECT_GT(root->caretsCreated, 0);
    EXPECT_TRUE(root->caretShown);
    std::u16string hundred(100, u'x');
    root->Type(hundred);
    EXPECT_EQ(root->Edit(0).GetText(), std::string(80, 'x')); // 80 without "maxlength"
    root->ClickIn(1);
    root->Type(u"abcdef");
    EXPECT_EQ(root->Edit(0).GetText(), std::string(80, 'x'));
    EXPECT_EQ(root->Edit(1).GetText(), "abc");
    // The first edit heard that it lost the focus: its selection and caret are gone.
    EXPECT_FALSE(root->Edit(0).GetTextHost()->Services()->IsFocused());
    root->Key(VK_BACK);
    EXPECT_EQ(root->Edit(1).GetText(), "ab");
    // Enter only in a multi-line edit.
    root->Key(VK_RETURN);
    EXPECT_EQ(root->Edit(1).GetText(), "ab");
}

TEST_F(ViewEdit, PasswordShowsStarsKeepsTheTextAndCopiesNothing) {
    auto root = EditRoot::Make(R"({"type":"edit","height":10,"width":100,"password":true})");
    root->ClickIn(0);
    root->Type(u"secret");
    EXPECT_EQ(root->Edit(0).GetText(), "secret");
    Clipboard::Set("untouched");
    root->Key('A', true);
    SetPopupMenuHandler([](const PopupMenuRequest&) { return 1u; });
    root->Mouse(WM_RBUTTONUP, TestRoot::Px(2), TestRoot::Px(2));
    EXPECT_EQ(Clipboard::Text(), "untouched");
    root->Edit(0).GetTextHost()->Services()->SetSelection(-1, -1);

    // What is drawn is a row of stars, not the letters.
    auto stars = EditRoot::Make(R"({"type":"edit","height":10,"width":100,"value":"******"})");
    gfx::OffscreenSurface a(400, 60, 96);
    gfx::OffscreenSurface b(400, 60, 96);
    root->Edit(0).Paint(a.GetGraphics(), {0, 0, 100, 10}, 0);
    stars->Edit(0).Paint(b.GetGraphics(), {0, 0, 100, 10}, 0);
    int differing = 0;
    int ink = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 400; ++x) {
            differing += a.PixelAt(x, y) != b.PixelAt(x, y);
            ink += (b.PixelAt(x, y) & 0xFFFFFF) != 0xFFFFFF;
        }
    }
    EXPECT_GT(ink, 20);
    EXPECT_EQ(differing, 0);
}

TEST_F(ViewEdit, ReadOnlyShowsNoCaretIgnoresTypingAndCopiesFromTheMenu) {
    auto root = EditRoot::Make(
        R"({"type":"edit","height":10,"width":150,"readonly":true,"value":"只读文字 read"})");
    root->ClickIn(0);
    EXPECT_EQ(root->caretsCreated, 0);
    EXPECT_FALSE(root->caretShown);
    root->Type(u"typed");
    root->Key(VK_BACK);
    EXPECT_EQ(root->Edit(0).GetText(), "只读文字 read");
    root->Key('A', true);
    std::vector<std::string> shown;
    SetPopupMenuHandler([&](const PopupMenuRequest& request) {
        for (const MenuItem& item : request.items) {
            shown.push_back(item.text);
        }
        return 1u;
    });
    Clipboard::Set("before");
    root->Mouse(WM_RBUTTONUP, TestRoot::Px(2), TestRoot::Px(2));
    EXPECT_EQ(shown, std::vector<std::string>{"复制"});
    EXPECT_EQ(Clipboard::Text(), "只读文字 read");
    // Dismissing the menu copies nothing.
    Clipboard::Set("before");
    SetPopupMenuHandler([](const PopupMenuRequest&) { return 0u; });
    root->Mouse(WM_RBUTTONUP, TestRoot::Px(2), TestRoot::Px(2));
    EXPECT_EQ(Clipboard::Text(), "before");
}

TEST_F(ViewEdit, ValueFromAnRtfFileAndStreamAsRtf) {
    const auto path = std::filesystem::temp_directory_path() / "plenvo-edit-test.rtf";
    {
        std::ofstream out(path, std::ios::binary);
        out << "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset134 SimSun;}}\\f0 "
               "\\'d6\\'d0\\'ce\\'c4{\\b bold}\\par}";
    }
    // "file:///tmp/…": the slash after the scheme is the path's own, so absolute paths load.
    const std::string json = R"({"type":"edit","height":10,"value":"file://)" + path.string() +
                             R"("},{"type":"edit","height":10,"value":"file:///no/such/file.rtf"},
        {"type":"edit","height":10,"readonly":true,"stream":"{\\rtf1 streamed {\\i text}}"},
        {"type":"edit","height":10,"value":"{\\rtf1 plain value}"})";
    auto root = EditRoot::Make(json);
    EXPECT_EQ(root->Edit(0).GetText(), "中文bold");
    EXPECT_EQ(root->Edit(1).GetText(), "");
    EXPECT_EQ(root->Edit(2).GetText(), "streamed text");
    EXPECT_EQ(root->Edit(3).GetText(), "{\\rtf1 plain value}"); // a value is plain text
    // Loading into a read-only edit leaves it read-only.
    EXPECT_TRUE(root->Edit(2).GetTextHost()->IsReadOnly());
    std::filesystem::remove(path);
}

TEST_F(ViewEdit, FileValuesLoadOnlyRegularFilesWithinThePictureSizeCap) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("plenvo-edit-files-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto big = dir / "big.rtf";
    {
        std::ofstream out(big, std::ios::binary);
        out << "{\\rtf1 big}";
    }
    // Sparse: larger than any picture may be, without using the disk.
    std::filesystem::resize_file(big, gfx::Bitmap::kMaxFileBytes + 1);
    const auto edit = [](const std::string& path) {
        return R"({"type":"edit","height":10,"value":"file://)" + path + R"("})";
    };
    // Each of these would hang the window or eat its memory if it were read.
    auto root = EditRoot::Make(edit("/dev/zero") + "," + edit(fifo.string()) + "," +
                               edit(big.string()) + "," + edit(dir.string()));
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(root->Edit(i).GetText(), "") << i;
    }
    std::filesystem::remove_all(dir);
}

TEST_F(ViewEdit, TextIsDrawnWithAlphaInsideTheContentRectangleEvenInTheOldKeyColour) {
    // Text of colour 0xFAFAFA on a dark background: a key-colour composition would lose it.
    auto root = EditRoot::Make(
        R"({"type":"edit","width":80,"height":20,"bkgnd":"rgb(0,0,80) ","color":"rgb(250,250,250) ",
            "content-paddign":2,"font-height":12,"value":"WWWW 字字 WWWW WWWW WWWW WWWW WWWW WWWW"})");
    gfx::OffscreenSurface surface(400, 100, 96);
    root->Edit(0).Paint(surface.GetGraphics(), {0, 0, 200, 100}, 0);
    const gfx::RectF text = root->Edit(0).TextRect();
    int keyColoured = 0;
    int outside = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 400; ++x) {
            const std::uint32_t c = surface.PixelAt(x, y);
            const bool glyph = (c & 0xFF0000) > 0x400000; // brighter than the dark fill
            const bool inText = x >= TestRoot::Px(text.x) && x <= TestRoot::Px(text.Right()) &&
                                y >= TestRoot::Px(text.y) && y <= TestRoot::Px(text.Bottom());
            keyColoured += (c & 0xFFFFFF) == 0xFAFAFA;
            outside += glyph && !inText;
        }
    }
    EXPECT_GT(keyColoured, 20);
    EXPECT_EQ(outside, 0);
}

} // namespace
