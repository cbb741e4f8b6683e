// The text host between an engine and its window: a rectangle that only moves keeps the engine's
// layout and scroll, and the caret goes along; a new size is the engine's to lay out again.
#include "controls/ViewFixture.h"

#include "platform/Keyboard.h"
#include "view/controls/TextHost.h"

namespace {

using namespace controlstest;
using namespace platform;

class TextHost : public ViewFixture {
protected:
    void SetUp() override {
        ViewFixture::SetUp();
        Open(R"({"name":"root","bkgnd":"#FFFFFF"})");
    }
    // A single-line field too narrow for its text, focused, the caret a few characters before
    // the end: the engine has scrolled the text left to show the caret.
    std::unique_ptr<CTextHost> ScrolledField(const gfx::RectF& rect) {
        TextHostSettings settings;
        settings.fontHeight = 6.0;
        auto host = std::make_unique<CTextHost>(view.get(), rect, settings);
        EXPECT_TRUE(host->Init());
        host->SetMaxLength(-1);
        host->SetText("荷塘月色这几天心里颇不宁静今晚在院子里坐着乘凉忽然想起日日走过的荷塘");
        richtext::ITextServices* services = host->Services();
        services->OnTxInPlaceActivate();
        services->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
        const long end = static_cast<long>(services->GetTextLength());
        services->SetSelection(end, end);
        for (int i = 0; i < 3; ++i) {
            services->TxSendMessage(WM_KEYDOWN, VK_LEFT, 0, nullptr);
        }
        return host;
    }
    RectI CaretArea() { return Window().ImeCursorArea(); }
};

TEST_F(TextHost, AMovedFieldKeepsItsScrolledTextAndTheCaretMovesByTheSamePixels) {
    const gfx::RectF rect{10.0, 10.0, 30.0, 8.0};
    auto host = ScrolledField(rect);
    const RectI client = host->TxGetClientRect();
    const RectI caret = CaretArea();
    ASSERT_GT(caret.x, client.x + client.width / 2) << "the caret sits right in the field";
    const std::uint64_t layouts = host->Services()->LayoutBuildCount();
    // Both a whole-pixel and a fractional move, which rounds the client rectangle.
    for (const gfx::PointF by : {gfx::PointF{20.0, 35.0}, gfx::PointF{7.3, -4.61}}) {
        const RectI before = host->TxGetClientRect();
        const RectI caretBefore = CaretArea();
        Window().Paint();
        host->SetRect(
            {host->GetRect().x + by.x, host->GetRect().y + by.y, rect.width, rect.height});
        const RectI after = host->TxGetClientRect();
        ASSERT_EQ(after.width, before.width);
        ASSERT_EQ(after.height, before.height);
        EXPECT_EQ(CaretArea(),
                  (RectI{caretBefore.x + after.x - before.x, caretBefore.y + after.y - before.y,
                         caretBefore.width, caretBefore.height}));
        EXPECT_EQ(host->GetCaretPos().x, CaretArea().x);
        EXPECT_EQ(host->GetCaretPos().y, CaretArea().y);
        // The engine was not asked to repaint: the moved element's owner repaints both places.
        for (const RectI& r : Window().Invalidations()) {
            EXPECT_LE(r.width, caret.width + 2) << "only the caret's own repaint";
        }
    }
    EXPECT_EQ(host->Services()->LayoutBuildCount(), layouts);

    // Typing after the move puts the character where the caret was shown.
    const RectI shown = CaretArea();
    host->Services()->TxSendMessage(WM_KEYDOWN, VK_RIGHT, 0, nullptr);
    host->Services()->TxSendMessage(WM_KEYDOWN, VK_LEFT, 0, nullptr);
    EXPECT_EQ(CaretArea(), shown);
}

TEST_F(TextHost, ANewSizeIsLaidOutAgainAndAHiddenCaretStaysHidden) {
    auto host = ScrolledField({10.0, 10.0, 30.0, 8.0});
    const RectI scrolled = CaretArea();
    // Wide enough for the whole text: the engine lays it out unscrolled, the caret further right.
    host->SetRect({10.0, 10.0, 190.0, 8.0});
    EXPECT_GT(CaretArea().x, scrolled.x);
    EXPECT_EQ(CaretArea().y, scrolled.y);

    // Without the focus the engine hides its caret; moving the field must not show it again
    // somewhere else.
    host->Services()->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
    const RectI hidden = CaretArea();
    host->SetRect({60.0, 90.0, 190.0, 8.0});
    EXPECT_EQ(CaretArea(), hidden);
}

} // namespace
