#pragma once
// One cell of a plan's grid: rich text in its own text engine, or a container of further lines.
// The cell keeps its plain text in step with the engine, marks itself changed when the teacher
// edits it, and reaches the plan element through IPage.
#include "plan/GridLine.h"
#include "plan/IPage.h"

#include "gfx/Color.h"
#include "gfx/Geometry.h"
#include "platform/Types.h"
#include "view/Cursor.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Plenvo {

class CTextHost;

class CGridCell : public std::enable_shared_from_this<CGridCell> {
public:
    static constexpr std::string_view kRtfPrefix = "__RTF__";
    static constexpr double kInnerMargin = 1.2;
    static constexpr double kLeastHeight = 8.0;
    // Pixels an editable cell keeps below its text, room for the next line being typed.
    static constexpr int kEditableSlackPixels = 14;
    static constexpr gfx::Color kReadOnlyFill = 0xFFD1E4F5;
    static constexpr gfx::Color kFocusFill = 0xFFF4F9FF;
    static constexpr std::uint32_t kTextColor = 0x010101;
    static constexpr double kFontHeight = 6.6;

    CGridCell(const nlohmann::json& description, IPage* page);
    virtual ~CGridCell();
    CGridCell(const CGridCell&) = delete;
    CGridCell& operator=(const CGridCell&) = delete;

    virtual bool HandleMessage(platform::UINT message, platform::WPARAM wParam,
                               platform::LPARAM lParam, platform::LRESULT& result);

    // --- Values ---

    // Plain text, set as the program's own change (no changed flag).
    void SetText(const std::string& utf8);
    // "__RTF__" and an RTF document, or plain text.
    void SetValue(const std::string& value);
    // Always "__RTF__" and the text as RTF; "" for a container.
    std::string GetValue() const;
    bool IsEditable() const;
    bool TakeChanged();
    bool IsChanged() const { return changed_ != 0; }
    void MarkChanged() { changed_ = 1; }
    const std::string& GetText() const { return text_; }

    // --- Grid ---

    void LinkParents(const std::shared_ptr<CGridLine>& parent);
    std::shared_ptr<CGridCell> FindCell(const std::string& name);
    std::shared_ptr<CGridCell> CellAt(gfx::PointF pointMm);
    void Collect(const CellPredicate& predicate, std::vector<std::shared_ptr<CGridCell>>& out);
    bool NameInUse(const std::string& stem) const;
    // Places the cell at a point and lays out what it holds; returns its natural height, which
    // the line turns into the cell's height (SetLaidOutHeight).
    double Layout(gfx::PointF point, gfx::RectF& changed);
    // The line gives every cell the line's height.
    void SetLaidOutHeight(double height);
    void Paint(gfx::Graphics& graphics, const gfx::RectF& clip, const LineIcons& icons);
    void Teardown();

    // --- Focus and editing ---

    void SetFocus();
    bool HasFocus() const { return focused_ != 0; }
    // The caret at the start or the end of the text.
    void PlaceCaret(bool atEnd);
    // Enter in an extendable cell: a numbered sub-line from "extenddesc", focused.
    void AddSubLine();
    // Sets or clears the focused flag here and on the lines and cells above.
    void SetFocusedUpwards(bool focused);

    gfx::RectF Rect() const { return {x_, y_, width_, height_}; }
    gfx::RectF TextRect() const;
    const std::string& Name() const { return name_; }
    double Width() const { return width_; }
    double Height() const { return height_; }
    double MinimumHeight() const { return minimumHeight_; }
    bool IsContainer() const { return !textHost_; }
    bool HasGridLine() const { return !noGridLine_; }
    bool IsExtendable() const { return extendable_; }
    bool DeletesOnEmpty() const { return deleteOnEmpty_; }
    bool WantsReturn() const { return wantReturn_; }
    const std::vector<std::shared_ptr<CGridLine>>& Lines() const { return lines_; }
    std::shared_ptr<CGridLine> ParentLine() const { return parentLine_.lock(); }
    CTextHost* TextHost() const { return textHost_.get(); }

private:
    void CreateTextHost(const nlohmann::json& description);
    void KillFocus();
    void OnTextChange();
    void RemoveLineLater();
    void RemoveEmptiedLine(const std::shared_ptr<CGridLine>& line);
    void MoveFocus(platform::WPARAM key);
    void ShowContextMenu(platform::LPARAM lParam);
    bool RouteToLines(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                      platform::LRESULT& result);

    std::string text_;
    double width_ = 0;
    double height_ = 0;
    std::vector<std::shared_ptr<CGridLine>> lines_;
    std::weak_ptr<CGridLine> parentLine_;
    std::string name_;
    double x_ = 0;
    double y_ = 0;
    bool wantReturn_ = false;
    bool extendable_ = false;
    nlohmann::json extendDesc_;
    bool noGridLine_ = false;
    bool deleteOnEmpty_ = false;
    int focused_ = 0;
    double innerMargin_ = kInnerMargin;
    double minimumHeight_ = kLeastHeight;
    std::unique_ptr<CTextHost> textHost_;
    IPage* page_;
    Cursor cursor_ = Cursor::IBeam;
    int changed_ = 0;
    int settingText_ = 0;
    gfx::Color background_ = 0xFAFAFA;
    bool active_ = false;
};

} // namespace Plenvo
