#pragma once
// The host of a rich-text engine inside the element tree: it answers the engine's questions from
// the owner's settings and carries its requests (invalidation, caret, capture, focus, timers) to
// the owner's window. The edit element and the plan's text cells each own one.
#include "view/IHostWindow.h"

#include "richtext/ITextHost.h"
#include "richtext/TextServices.h"

#include "gfx/Geometry.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace Plenvo {

// Edit-style bits of the owner.
inline constexpr std::uint32_t ES_MULTILINE = 0x4;
inline constexpr std::uint32_t ES_PASSWORD = 0x20;
inline constexpr std::uint32_t ES_READONLY = 0x800;

struct TextHostSettings {
    std::string fontFamily = "宋体";
    std::uint32_t editStyle = 0;
    bool wordWrap = false;
    bool autoWordSelect = false;
    bool allowBeep = false;
    bool saveSelection = false;
    richtext::Alignment alignment = richtext::Alignment::Left;
    std::uint32_t color = 0x000000; // 0xRRGGBB
    double fontHeight = 20.0;       // the templates' "font-height"
    // The resolution of the surface the owner's tree is shown on.
    double dpi = 96.0;
};

class CTextHost : public richtext::ITextHost {
public:
    // The size of the message font, in points, that the templates' font heights were designed
    // against.
    static constexpr int kMessageFontPoints = 9;
    // The character height in twips for a font height at a resolution.
    static int CharHeightTwips(double fontHeight, double dpi);

    CTextHost(IHostWindow* window, const gfx::RectF& rect, const TextHostSettings& settings,
              std::function<void()> onChange = {});
    ~CTextHost() override;
    CTextHost(const CTextHost&) = delete;
    CTextHost& operator=(const CTextHost&) = delete;

    // Starts the engine; false when there is none (the owner then stays without text).
    bool Init();
    richtext::ITextServices* Services() const { return services_.get(); }

    void SetHostWindow(IHostWindow* window) { window_ = window; }
    IHostWindow* GetHostWindow() const { return window_; }
    // Stores a new rectangle (millimetres) only when it differs. A new size in pixels is told to
    // the engine; a rectangle that only moved carries the caret along.
    void SetRect(const gfx::RectF& rect);
    // Where the text can be seen (millimetres), when its owner shows it through a smaller area
    // (a scrolled grid under a header): the caret is not shown outside it. Empty: anywhere.
    void SetVisibleArea(const gfx::RectF& area);
    // Another device's resolution (a printer's) for measuring and drawing from now on.
    void SetResolution(double dpi);
    const gfx::RectF& GetRect() const { return rect_; }
    void SetMaxLength(std::int32_t maxLength);
    void SetChangeCallback(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    bool IsReadOnly() const { return (settings_.editStyle & ES_READONLY) != 0; }
    bool IsCaptured() const { return captured_; }
    // The last caret position the engine set, in client pixels.
    Point GetCaretPos() const { return caret_; }
    // The caret's height in pixels as the engine created it; 0 before it has one.
    int GetCaretHeight() const { return caretHeight_; }

    // RTF (or plain text that is not RTF) into the engine, with read-only lifted for the load.
    void LoadRtf(std::string_view bytes);
    void SetText(std::string_view utf8);
    std::string GetRtf() const;
    std::string GetText() const;
    // Draws into the host rectangle, limited to the clip.
    void Draw(gfx::Graphics& graphics, const gfx::RectF* clip);
    // TxGetNaturalSize with fit-to-content: the pixel height of the text at a pixel width.
    int NaturalHeight(int widthPixels, double dpi);

    // --- ITextHost ---
    void TxInvalidateRect(const platform::RectI* rect) override;
    void TxViewChange() override;
    bool TxCreateCaret(int width, int height) override;
    bool TxShowCaret(bool show) override;
    bool TxSetCaretPos(int x, int y) override;
    bool TxSetTimer(platform::UINT id, platform::UINT milliseconds) override;
    void TxKillTimer(platform::UINT id) override;
    void TxSetCapture(bool capture) override;
    void TxSetFocus() override;
    platform::RectI TxGetClientRect() override;
    double TxGetResolution() override;
    const richtext::CharFormat& TxGetCharFormat() override { return charFormat_; }
    const richtext::ParaFormat& TxGetParaFormat() override { return paraFormat_; }
    std::uint32_t TxGetPropertyBits(std::uint32_t mask) override;
    std::int32_t TxGetMaxLength() override { return maxLength_; }
    char32_t TxGetPasswordChar() override { return U'*'; }
    void TxNotify(platform::UINT code, void* data) override;
    richtext::IClipboard* TxGetClipboard() override;
    int TxGetKeyState(platform::WPARAM key) override;

private:
    void SetReadOnly(bool readOnly);
    void ComputeExtent();
    void UpdateExtent();
    void MoveCaret(int dx, int dy);
    // Gives the window the caret's place, or the hidden place when it lies outside the area
    // where the text can be seen.
    void ShowCaretPos();

    richtext::CharFormat charFormat_;
    richtext::ParaFormat paraFormat_;
    IHostWindow* window_;
    std::unique_ptr<richtext::ITextServices> services_;
    TextHostSettings settings_;
    std::int32_t maxLength_ = 80;
    gfx::RectF rect_;
    gfx::SizeF extentHimetric_;
    Point caret_;
    int caretHeight_ = 0;
    std::function<void()> onChange_;
    bool captured_ = false;
    // Whether the engine shows its caret, at a place (not hidden off the text).
    bool caretShown_ = false;
    bool caretPlaced_ = false;
    gfx::RectF visibleArea_;
};

} // namespace Plenvo
