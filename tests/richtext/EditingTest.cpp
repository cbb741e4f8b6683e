#include "richtext/TextEngine.h"

#include "richtext/RtfReader.h"

#include "DocumentSamples.h"
#include "RecordingHost.h"

#include <gtest/gtest.h>

namespace richtext {
namespace {

using namespace platform;
using testing::Driver;
using testing::RecordingHost;

class Editing : public ::testing::Test {
protected:
    void Start() {
        text = CreateTextServices(host);
        text->SetEventMask(ENM_CHANGE);
        text->OnTxInPlaceActivate();
        text->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    }
    Driver Keys() { return {*text, host}; }
    Selection Sel() const { return text->GetSelection(); }

    RecordingHost host;
    std::unique_ptr<ITextServices> text;
};

TEST_F(Editing, TypingCoalescesIntoOneUndoStepUntilTheCaretMoves) {
    Start();
    Keys().Type(u"hello world");
    EXPECT_EQ(text->TxGetText(), "hello world");
    EXPECT_EQ(Sel(), (Selection{11, 11}));
    EXPECT_EQ(host.changes, 11);

    Keys().Key(VK_HOME);
    Keys().Type(u">");
    EXPECT_EQ(text->TxGetText(), ">hello world");

    Keys().Key('Z', false, true);
    EXPECT_EQ(text->TxGetText(), "hello world");
    EXPECT_EQ(Sel(), (Selection{0, 0}));
    Keys().Key('Z', false, true);
    EXPECT_EQ(text->TxGetText(), "");
    EXPECT_FALSE(text->CanUndo());
    Keys().Key('Y', false, true);
    EXPECT_EQ(text->TxGetText(), "hello world");
    EXPECT_EQ(Sel(), (Selection{11, 11}));
    Keys().Key('Z', true, true); // Ctrl+Shift+Z redoes as well
    EXPECT_EQ(text->TxGetText(), ">hello world");
    EXPECT_EQ(host.changes, 16);
}

TEST_F(Editing, BackspaceAndDeleteByCharacterAndByWordUndoAsRuns) {
    Start();
    Keys().Type(u"one two three");
    Keys().Key(VK_BACK, false, true);
    EXPECT_EQ(text->TxGetText(), "one two ");
    Keys().Key(VK_BACK);
    Keys().Key(VK_BACK);
    EXPECT_EQ(text->TxGetText(), "one tw");
    text->SetSelection(0, 0);
    Keys().Key(VK_DELETE);
    Keys().Key(VK_DELETE, false, true);
    EXPECT_EQ(text->TxGetText(), "tw");
    Keys().Key('Z', false, true); // both deletions at the start: one step
    EXPECT_EQ(text->TxGetText(), "one tw");
    Keys().Key('Z', false, true); // the word and the two characters before: one step
    EXPECT_EQ(text->TxGetText(), "one two three");
    Keys().Key('Z', false, true);
    EXPECT_EQ(text->TxGetText(), "");
}

TEST_F(Editing, MaximumLengthLimitsTypingAndPaste) {
    host.maxLength = 5;
    Start();
    Keys().Type(u"abcdefg");
    EXPECT_EQ(text->TxGetText(), "abcde");
    EXPECT_EQ(host.changes, 5);
    text->SetSelection(2, 4);
    Keys().Type(u"XYZ"); // the selection makes room for one and one more
    EXPECT_EQ(text->TxGetText(), "abXYe");
    host.clipboard.SetContent("123", "");
    EXPECT_FALSE(text->Paste());
    text->SetSelection(0, 2);
    EXPECT_TRUE(text->Paste());
    EXPECT_EQ(text->TxGetText(), "12XYe");
    // Enter counts as a character too.
    Keys().Key(VK_RETURN);
    EXPECT_EQ(text->GetTextLength(), 5u);
}

TEST_F(Editing, EnterSplitsParagraphsOnlyWhenMultiline) {
    Start();
    Keys().Type(u"ab");
    Keys().Key(VK_LEFT);
    Keys().Key(VK_RETURN);
    EXPECT_EQ(text->TxGetText(), "a\nb");
    EXPECT_EQ(Sel(), (Selection{2, 2}));
    Keys().Key(VK_BACK);
    EXPECT_EQ(text->TxGetText(), "ab");

    RecordingHost single;
    single.bits = TXTBIT_RICHTEXT;
    auto line = CreateTextServices(single);
    line->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    Driver d{*line, single};
    d.Type(u"ab");
    single.shift = single.control = false;
    EXPECT_FALSE(line->TxSendMessage(WM_KEYDOWN, VK_RETURN, 0, nullptr));
    EXPECT_FALSE(line->TxSendMessage(WM_KEYDOWN, VK_TAB, 0, nullptr));
    d.Type(u"\r\t");
    EXPECT_EQ(line->TxGetText(), "ab");
    // Pasting several lines into a single line keeps the first.
    single.clipboard.SetContent("first\nsecond", "");
    EXPECT_TRUE(line->Paste());
    EXPECT_EQ(line->TxGetText(), "abfirst");
}

TEST_F(Editing, PasswordKeepsTheTextButNeverLetsItOut) {
    host.bits |= TXTBIT_USEPASSWORD;
    Start();
    Keys().Type(u"s3cret word");
    EXPECT_EQ(text->TxGetText(), "s3cret word");
    host.clipboard.SetContent("before", "");
    text->SetSelection(0, -1);
    EXPECT_EQ(text->GetSelectedText(), "");
    Keys().Key('C', false, true);
    Keys().Key('X', false, true);
    EXPECT_EQ(*host.clipboard.GetText(), "before");
    EXPECT_EQ(text->TxGetText(), "s3cret word");
    // Words are not revealed by the caret either: Ctrl+Left goes to the start.
    text->SetSelection(11, 11);
    Keys().Key(VK_LEFT, false, true);
    EXPECT_EQ(Sel(), (Selection{0, 0}));
}

TEST_F(Editing, ReadOnlyShowsNoCaretIgnoresTypingButSelectsAndCopies) {
    host.bits |= TXTBIT_READONLY;
    Start();
    text->TxSetText("fixed text");
    EXPECT_FALSE(host.caretVisible);
    Keys().Type(u"typed");
    Keys().Key(VK_BACK);
    Keys().Key(VK_RETURN);
    host.clipboard.SetContent("x", "");
    EXPECT_FALSE(text->Paste());
    EXPECT_EQ(text->TxGetText(), "fixed text");
    Keys().Key(VK_END, true);
    EXPECT_EQ(Sel(), (Selection{0, 10}));
    EXPECT_TRUE(text->Copy());
    EXPECT_EQ(*host.clipboard.GetText(), "fixed text");
    EXPECT_FALSE(host.caretVisible);
}

TEST_F(Editing, ArrowsMoveByGraphemeAndWordAndStopAtTheEnds) {
    Start();
    Keys().Type(u"ab xy cd ef");
    Keys().Key(VK_HOME, false, true);
    const Selection start = Sel();
    Keys().Key(VK_LEFT); // nothing to the left: the selection stays exactly as it was
    EXPECT_EQ(Sel(), start);
    Keys().Key(VK_UP);
    EXPECT_EQ(Sel(), start);
    Keys().Key(VK_RIGHT, false, true);
    EXPECT_EQ(Sel().active, 3u);
    Keys().Key(VK_RIGHT, true, true);
    EXPECT_EQ(Sel(), (Selection{3, 6}));
    Keys().Key(VK_RIGHT); // collapses to the end
    EXPECT_EQ(Sel(), (Selection{6, 6}));
    Keys().Key(VK_LEFT);
    Keys().Key(VK_LEFT);
    EXPECT_EQ(Sel(), (Selection{4, 4}));
    Keys().Key(VK_END, false, true);
    Keys().Key(VK_RIGHT);
    EXPECT_EQ(Sel(), (Selection{11, 11}));
    // A surrogate pair typed as two units is one character, removed by one backspace.
    text->TxSetText("");
    Keys().Type(u"a😊b");
    EXPECT_EQ(text->GetTextLength(), 3u);
    Keys().Key(VK_LEFT);
    Keys().Key(VK_BACK);
    EXPECT_EQ(text->TxGetText(), "ab");
}

TEST_F(Editing, UpAndDownKeepTheColumnAcrossParagraphs) {
    Start();
    Keys().Type(u"first line");
    Keys().Key(VK_RETURN);
    Keys().Type(u"x");
    Keys().Key(VK_RETURN);
    Keys().Type(u"first also");
    text->SetSelection(5, 5);
    Keys().Key(VK_DOWN);
    EXPECT_EQ(Sel().active, 12u); // end of "x"
    Keys().Key(VK_DOWN);
    EXPECT_EQ(Sel().active, 18u); // back at column 5
    const Selection last = Sel();
    Keys().Key(VK_DOWN);
    EXPECT_EQ(Sel(), last);
    Keys().Key(VK_UP, true);
    EXPECT_EQ(Sel(), (Selection{18, 12}));
}

TEST_F(Editing, FormatTogglesApplyToTheSelectionOrToWhatIsTypedNext) {
    Start();
    Keys().Type(u"plain bold");
    text->SetSelection(6, 10);
    Keys().Key('B', false, true);
    auto* engine = static_cast<CTextEngine*>(text.get());
    auto spans = testing::Spans(engine->Document(), 0);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[1].text, "bold");
    EXPECT_TRUE(spans[1].format.bold);
    Keys().Key('B', false, true); // all bold: toggles off
    EXPECT_EQ(testing::Spans(engine->Document(), 0).size(), 1u);
    Keys().Key('Z', false, true);
    EXPECT_TRUE(testing::Spans(engine->Document(), 0)[1].format.bold);

    text->SetSelection(10, 10);
    Keys().Key('I', false, true);
    Keys().Key('U', false, true);
    Keys().Type(u"!");
    spans = testing::Spans(engine->Document(), 0);
    EXPECT_EQ(spans.back().text, "!");
    EXPECT_TRUE(spans.back().format.italic);
    EXPECT_TRUE(spans.back().format.underline);
    EXPECT_TRUE(spans.back().format.bold);
    EXPECT_GT(host.changes, 12); // format changes are changes to save
}

TEST_F(Editing, CutCopyAndPasteCarryRichText) {
    Start();
    text->StreamInRtf("{\\rtf1{\\colortbl;\\red200\\green0\\blue0;}a{\\b\\cf1 bold}z}", false);
    text->SetSelection(1, 5);
    EXPECT_TRUE(text->Copy());
    EXPECT_EQ(*host.clipboard.GetText(), "bold");
    ASSERT_TRUE(host.clipboard.GetRtf());
    EXPECT_TRUE(CRtfReader::IsRtf(*host.clipboard.GetRtf()));
    Keys().Key('X', false, true);
    EXPECT_EQ(text->TxGetText(), "az");
    Keys().Key(VK_END);
    Keys().Key('V', false, true);
    EXPECT_EQ(text->TxGetText(), "azbold");
    const auto spans = testing::Spans(static_cast<CTextEngine*>(text.get())->Document(), 0);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_TRUE(spans[1].format.bold);
    EXPECT_EQ(spans[1].format.color, 0xC80000u);
    // A clipboard that refuses leaves it and the text unchanged.
    host.clipboard.SetLocked(true);
    text->SetSelection(0, 2);
    EXPECT_FALSE(text->Cut());
    EXPECT_EQ(text->TxGetText(), "azbold");
}

TEST_F(Editing, MouseClickDragShiftClickAndDoubleClick) {
    Start();
    text->TxSetText("alpha beta gamma");
    // Left edge of the text: caret at 0; far right of the line: at the end.
    EXPECT_TRUE(Keys().Click(host.rect.x + 1, host.rect.y + 5));
    EXPECT_EQ(Sel(), (Selection{0, 0}));
    EXPECT_FALSE(host.captured);
    Keys().Click(host.rect.Right() - 2, host.rect.y + 5, MK_SHIFT);
    EXPECT_EQ(Sel(), (Selection{0, 16}));

    // Drag from the start to past the end of the line selects all; capture follows the button.
    text->TxSendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(host.rect.x + 1, 25), nullptr);
    EXPECT_TRUE(host.captured);
    text->TxSendMessage(WM_MOUSEMOVE, MK_LBUTTON, MakeLParam(host.rect.Right() + 50, 25), nullptr);
    text->TxSendMessage(WM_LBUTTONUP, 0, MakeLParam(host.rect.Right() + 50, 25), nullptr);
    EXPECT_FALSE(host.captured);
    EXPECT_EQ(Sel(), (Selection{0, 16}));

    // Double-click inside "beta" selects the word.
    text->SetSelection(8, 8);
    Selection caret = Sel();
    ASSERT_TRUE(caret.Empty());
    const int x = host.caretX;
    text->TxSendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MakeLParam(x, 25), nullptr);
    text->TxSendMessage(WM_LBUTTONUP, 0, MakeLParam(x, 25), nullptr);
    EXPECT_EQ(Sel().Start(), 6u);
    EXPECT_EQ(Sel().End(), 10u);

    // Outside the client rectangle a click is not the engine's.
    EXPECT_FALSE(Keys().Click(host.rect.x - 5, host.rect.y + 5));
}

TEST_F(Editing, SelectionMessagesAndProgrammaticText) {
    Start();
    host.changes = 0;
    text->TxSetText("one\r\ntwo");
    EXPECT_EQ(host.changes, 1);
    EXPECT_EQ(text->TxGetText(), "one\ntwo");
    EXPECT_EQ(text->GetTextLength(), 7u);
    text->SetSelection(0, -1);
    EXPECT_EQ(text->GetSelectedText(), "one\ntwo");
    text->SetSelection(-1, -1);
    EXPECT_EQ(Sel(), (Selection{7, 7}));
    text->SetSelection(2, 5);
    text->ReplaceSelection("", true);
    EXPECT_EQ(text->TxGetText(), "onwo");
    EXPECT_TRUE(text->Undo());
    EXPECT_EQ(text->TxGetText(), "one\ntwo");
    // Programmatic text is not undoable.
    text->TxSetText("new");
    EXPECT_FALSE(text->CanUndo());
    // Without the event mask no change is reported.
    text->SetEventMask(0);
    const int before = host.changes;
    Keys().Type(u"x");
    EXPECT_EQ(host.changes, before);
}

TEST_F(Editing, CaretFollowsFocusAndActivation) {
    text = CreateTextServices(host);
    text->TxSetText("abc");
    EXPECT_FALSE(host.caretVisible);
    text->OnTxInPlaceActivate();
    EXPECT_FALSE(host.caretVisible); // not focused yet
    text->TxSendMessage(WM_SETFOCUS, 0, 0, nullptr);
    EXPECT_TRUE(host.caretVisible);
    EXPECT_GT(host.caretHeight, 10); // a 12-point line at 96 dpi
    EXPECT_EQ(host.caretX, host.rect.x);
    text->SetSelection(3, 3);
    EXPECT_GT(host.caretX, host.rect.x + 10);
    text->SetSelection(0, 3); // a selection hides the caret
    EXPECT_FALSE(host.caretVisible);
    text->SetSelection(1, 1);
    EXPECT_TRUE(host.caretVisible);
    text->TxSendMessage(WM_KILLFOCUS, 0, 0, nullptr);
    EXPECT_FALSE(host.caretVisible);
}

} // namespace
} // namespace richtext
