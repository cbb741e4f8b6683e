#pragma once
// The input method's composition window: while a teacher composes (pinyin that is not yet
// characters), the text being composed is shown in a small popup whose top-left corner lies on
// the caret, above the document, until the input method commits or cancels it. The document
// itself only ever receives committed characters.
#include "platform/LabelPopup.h"
#include "platform/PixelGeometry.h"

struct _GtkWidget;
struct _GtkIMContext;

namespace platform {

class CompositionWindow {
public:
    CompositionWindow();
    CompositionWindow(const CompositionWindow&) = delete;
    CompositionWindow& operator=(const CompositionWindow&) = delete;

    // Shows the context's current composition at the caret (client pixels of the owner's drawing
    // area), or hides the window when there is nothing being composed.
    void Update(_GtkIMContext* im, _GtkWidget* area, const RectI& caret);
    // Follows the caret while shown.
    void Move(_GtkWidget* area, const RectI& caret);
    void Hide() { popup_.Hide(); }
    bool Visible() const { return popup_.Visible(); }

private:
    LabelPopup popup_;
};

} // namespace platform
