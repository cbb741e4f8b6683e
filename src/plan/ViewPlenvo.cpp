#include "plan/ViewPlenvo.h"

#include "plan/LineCopy.h"
#include "plan/PlanHooks.h"

#include "view/IHostWindow.h"
#include "view/View.h"
#include "view/ViewFactory.h"
#include "view/controls/TextHost.h"
#include "view/controls/ViewButton.h"
#include "view/controls/ViewList.h"
#include "view/controls/ViewListItem.h"
#include "view/controls/ViewScrollBar.h"

#include "gfx/Bitmap.h"
#include "gfx/Font.h"
#include "gfx/Graphics.h"
#include "gfx/NamedImages.h"
#include "gfx/Pen.h"
#include "gfx/SolidBrush.h"
#include "gfx/StringFormat.h"
#include "gfx/Units.h"
#include "net/Form.h"
#include "net/ServiceEndpoints.h"
#include "net/SimpleCurlAsync.h"
#include "net/ThreadTimer.h"
#include "platform/Dialogs.h"
#include "platform/Messages.h"
#include "platform/Messaging.h"
#include "platform/Tick.h"
#include "view/LayeredRenderer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <ctime>

namespace Plenvo {

using namespace platform;

namespace {

constexpr UINT kPrintCommand = 1;
constexpr UINT kInfoCommand = 2;

const char* const kGrades[] = {"_",      "一年级",   "二年级",  "三年级", "四年级",
                               "五年级", "六年级",   "七年级",  "八年级", "九年级",
                               "十年级", "十一年级", "十二年级"};
const char* const kSubjects[] = {"_",    "语文", "数学", "英语", "物理", "化学",
                                 "生物", "历史", "地理", "政治", "体育"};

// A decimal number from the record; anything else (and numbers out of the table) reads as 0.
template <std::size_t N>
const char* TableEntry(const char* const (&table)[N], const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value >= static_cast<int>(N)) {
        return table[0];
    }
    return table[value];
}

std::string FormatLocalTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&time, &local)) {
        return {};
    }
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, CViewPlenvo::kDateFormat, &local);
    return std::string(text, length);
}

// The text of a failed line event, or none when the service took it.
std::optional<std::string> LineEventFailure(const SimpleCurl::response& reply) {
    if (!reply.finished) {
        return "网络错误:[" + reply.error + "]";
    }
    if (reply.status != 200) {
        return "服务器错误:[" + std::to_string(reply.status) + "]";
    }
    const auto body = nlohmann::json::parse(reply.body, nullptr, false);
    if (!body.is_object()) {
        return std::string("服务器错误:[bad json response]");
    }
    const auto ok = body.find("ok");
    if (ok == body.end() || !ok->is_boolean() || !ok->get<bool>()) {
        const auto error = body.find("error");
        return error != body.end() && error->is_string() ? error->get<std::string>()
                                                         : std::string("服务器拒绝了请求");
    }
    return std::nullopt;
}

} // namespace

CViewPlenvo::CViewPlenvo(Json description) : CViewElement(std::move(description)) {}

CViewPlenvo::~CViewPlenvo() {
    if (keepAliveTimer_) {
        SimpleCurl::KillThreadTimer(keepAliveTimer_);
    }
    // The window may be going too: the focus is not handed back through it here.
    for (const auto& line : lines_) {
        line->Teardown();
    }
}

void CViewPlenvo::DropLine(const std::shared_ptr<CGridLine>& line) {
    if (line->IsFocused()) {
        CViewElement::SetFocusId(nullptr);
    }
    line->Teardown();
}

bool CViewPlenvo::ReadProperties() {
    name_ = "plenvo";
    record_ = PlanRecord::Parse(description_);
    // The id names saved files and URLs: a plan without a decimal id is not opened at all.
    if (record_.id.empty()) {
        return false;
    }
    BuildGrid();
    std::int32_t layer = 0;
    if (IntMember(description_, "layer", layer)) {
        layer_ = layer;
    }
    ShowGradeAndSubject();
    if (const auto& load = GetPlanHooks().loadSavedVersion) {
        load(*this);
    }
    addLineIcon_ = gfx::LoadNamedImage("PNG_ADDLINE");
    deleteLineIcon_ = gfx::LoadNamedImage("PNG_DELLINE");
    CreateParts();
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    keepAliveTimer_ = SimpleCurl::RegisterThreadTimer(kKeepAliveMs, [weak](UINT_PTR id) {
        if (weak.expired()) {
            SimpleCurl::KillThreadTimer(id);
        }
    });
    return true;
}

void CViewPlenvo::BuildGrid() {
    const auto gridlines = description_.find("gridlines");
    if (gridlines == description_.end() || !gridlines->is_array()) {
        return;
    }
    lines_.reserve(gridlines->size());
    for (const auto& line : *gridlines) {
        lines_.push_back(std::make_shared<CGridLine>(line, this));
    }
    for (const auto& line : lines_) {
        line->LinkParents();
    }
}

std::shared_ptr<CViewElement> CViewPlenvo::MakePart(Json description) {
    description["layer"] = layer_ + 1;
    auto part = CreateViewElement(std::move(description));
    if (part) {
        part->SetParent(this);
    }
    return part;
}

void CViewPlenvo::CreateParts() {
    Json bar = {{"width", 2.2}, {"height", "99%"}, {"bkgnd", "argb(50,0,0,0)"}};
    bar["layer"] = layer_ + 1;
    scrollBar_ = std::make_shared<CViewScrollBar>(std::move(bar));
    scrollBar_->ReadProperties();
    scrollBar_->SetName("scrollbar");
    scrollBar_->SetParent(this);
    {
        const std::weak_ptr<CViewElement> weak = weak_from_this();
        scrollBar_->AddEventHandler("scrolltrack", [weak](const auto&, const std::string& param) {
            if (auto self = std::static_pointer_cast<CViewPlenvo>(weak.lock())) {
                self->OnScrollTrack(param);
            }
            return 1;
        });
    }
    printButton_ = std::dynamic_pointer_cast<CViewButton>(MakePart({{"type", "button"},
                                                                    {"width", 20},
                                                                    {"height", 20},
                                                                    {"icon", "PNG_PRINT60"},
                                                                    {"cursor", "hand"},
                                                                    {"bkgnd", "argb(0,0,0,0)"}}));
    if (printButton_) {
        const std::weak_ptr<CViewElement> weak = weak_from_this();
        printButton_->AddEventHandler("click", [weak](const auto&, const std::string&) {
            if (auto self = std::static_pointer_cast<CViewPlenvo>(weak.lock())) {
                self->Print();
            }
            return 1;
        });
    }
    saveButton_ = std::dynamic_pointer_cast<CViewButton>(MakePart({{"type", "button"},
                                                                   {"width", 20},
                                                                   {"height", 20},
                                                                   {"icon", "PNG_SAVE"},
                                                                   {"cursor", "hand"},
                                                                   {"bkgnd", "argb(0,0,0,0)"},
                                                                   {"tooltip", "保存"}}));
    if (saveButton_) {
        const std::weak_ptr<CViewElement> weak = weak_from_this();
        saveButton_->AddEventHandler("click", [weak](const auto&, const std::string&) {
            if (auto self = std::static_pointer_cast<CViewPlenvo>(weak.lock())) {
                self->SaveToService();
            }
            return 1;
        });
    }
}

void CViewPlenvo::ClearChildren() {
    printButton_.reset();
    saveButton_.reset();
    scrollBar_.reset();
    capturingCell_.reset();
    const auto lines = std::move(lines_);
    lines_.clear();
    for (const auto& line : lines) {
        DropLine(line);
    }
    CViewElement::ClearChildren();
}

// --- Layout ---

void CViewPlenvo::Layout(gfx::RectF& result, gfx::PointF origin, gfx::SizeF& resultSize,
                         bool registerInLayer) {
    CViewElement::Layout(result, origin, resultSize, registerInLayer);
    size_ = {kWidth, space_.height};
    hostWindow_ = CViewElement::GetHostWindow();
    if (scrollBar_) {
        scrollBar_->SetSpace({4.0, size_.height - headerHeight_});
        gfx::RectF area;
        gfx::SizeF size;
        scrollBar_->Layout(area, {position_.x + size_.width - 4.0, position_.y + headerHeight_},
                           size, registerInLayer);
    }
    Relayout(true);
    if (saveButton_) {
        saveButton_->SetSpace({20, 20});
        gfx::RectF area;
        gfx::SizeF size;
        saveButton_->Layout(area, {position_.x + size_.width - 34.0, position_.y + 17.0}, size,
                            registerInLayer);
    }
    if (printButton_) {
        // Offered its size, never placed: the main page's print button is the one shown.
        printButton_->SetSpace({20, 20});
    }
    result = gfx::RectF::Union(result, GetRect());
    resultSize = size_;
}

double CViewPlenvo::DrawnOffset() {
    return gfx::SnapToPixel(scrollOffset_, GetDpi());
}

void CViewPlenvo::Relayout(bool invalidate) {
    gfx::PointF point{position_.x + leftMargin_, position_.y + headerHeight_ + DrawnOffset()};
    contentHeight_ = headerHeight_;
    gfx::RectF changed;
    const auto lines = lines_;
    for (const auto& line : lines) {
        const double height = line->Layout(point, changed);
        contentHeight_ += height;
        point.y += height;
    }
    UpdateScrollRange();
    // A cell scrolled under the header or past the bottom shows no caret there.
    const gfx::RectF grid = GridArea();
    for (const auto& cell : CollectCells([](CGridCell& c) { return c.TextHost() != nullptr; })) {
        cell->TextHost()->SetVisibleArea(grid);
    }
    if (invalidate) {
        InvalidateGrid(changed);
    }
}

void CViewPlenvo::InvalidateGrid(const gfx::RectF& changed) {
    const gfx::RectF visible = gfx::RectF::Intersect(changed, GridArea());
    if (!visible.IsZero()) {
        InvalidateRectMm(visible);
    }
}

void CViewPlenvo::RelayoutCell(CGridCell& cell) {
    std::shared_ptr<CGridLine> line = cell.ParentLine();
    while (line && !line->IsTopLevel()) {
        const auto container = line->ParentCell();
        line = container ? container->ParentLine() : nullptr;
    }
    const auto it = line ? std::find(lines_.begin(), lines_.end(), line) : lines_.end();
    if (it == lines_.end()) {
        Relayout(true);
        return;
    }
    const gfx::RectF before = line->Rect();
    gfx::RectF changed;
    line->Layout({before.x, before.y}, changed);
    InvalidateGrid(changed);
    if (line->Rect().height != before.height) {
        Relayout(true); // the lines below move
    }
}

gfx::RectF CViewPlenvo::TitleArea() const {
    return {position_.x, position_.y + 32.0, size_.width, 15.0};
}

gfx::RectF CViewPlenvo::GridArea() const {
    // The lines (and their icons) paint only here: scrolling leaves the header as it is.
    return {position_.x + 10.0 - 2.0, position_.y + 40.0 - 2.0, size_.width - 10.0 + 2.0,
            size_.height - 40.0 + 2.0};
}

void CViewPlenvo::UpdateScrollRange() {
    if (!scrollBar_) {
        return;
    }
    scrollBar_->SetRangeMm(contentHeight_, size_.height - headerHeight_);
}

void CViewPlenvo::SetScrollOffset(double offset) {
    scrollOffset_ = offset;
    if (scrollBar_) {
        scrollBar_->SetScrollPos(-offset);
    }
}

void CViewPlenvo::RevealCaret() {
    if (printing_) {
        return;
    }
    const auto focused =
        CollectCells([](CGridCell& cell) { return cell.HasFocus() && cell.TextHost() != nullptr; });
    if (focused.empty()) {
        return;
    }
    const CTextHost& host = *focused.front()->TextHost();
    const double mmPerPixel = 25.4 / GetDpi();
    const double top = host.GetCaretPos().y * mmPerPixel;
    const double bottom = top + std::max(host.GetCaretHeight(), 1) * mmPerPixel;
    const double viewTop = position_.y + headerHeight_;
    const double viewBottom = position_.y + size_.height;
    // A little room beyond the caret, so that the line being typed is not cut at the edge.
    constexpr double kRoom = 3.0;
    double offset = scrollOffset_;
    if (bottom > viewBottom) {
        offset -= bottom - viewBottom + kRoom;
    } else if (top < viewTop) {
        offset += viewTop - top + kRoom;
    } else {
        return;
    }
    const double view = size_.height - headerHeight_;
    offset = std::clamp(offset, std::min(0.0, view - contentHeight_), 0.0);
    if (offset == scrollOffset_) {
        return;
    }
    SetScrollOffset(offset);
    Relayout(true);
    InvalidateGrid(GridArea());
}

void CViewPlenvo::OnScrollTrack(const std::string& parameter) {
    // "track." and a number (digits, an optional dot and more digits), anywhere in the text.
    std::size_t at = parameter.find("track.");
    while (at != std::string::npos &&
           (at + 6 >= parameter.size() || parameter[at + 6] < '0' || parameter[at + 6] > '9')) {
        at = parameter.find("track.", at + 1);
    }
    if (at == std::string::npos) {
        return;
    }
    double position = 0;
    std::from_chars(parameter.data() + at + 6, parameter.data() + parameter.size(), position,
                    std::chars_format::fixed);
    scrollOffset_ = -position;
    Relayout(true);
    SetScrollOffset(scrollOffset_);
    InvalidateGrid(GridArea());
}

// --- Painting ---

std::string CViewPlenvo::FitTitle(const std::string& title, double maxWidth,
                                  const std::function<double(const std::string&)>& measure) {
    if (measure(title) <= maxWidth) {
        return title;
    }
    // Whole characters only: cut at code point boundaries.
    std::vector<std::size_t> ends;
    for (std::size_t i = 1; i <= title.size(); ++i) {
        if (i == title.size() || (static_cast<unsigned char>(title[i]) & 0xC0) != 0x80) {
            ends.push_back(i);
        }
    }
    std::size_t low = 0;
    std::size_t high = ends.size();
    // The longest prefix whose text and "..." still fits (binary search over the prefixes).
    while (low < high) {
        const std::size_t middle = (low + high + 1) / 2;
        if (measure(title.substr(0, ends[middle - 1]) + "...") <= maxWidth) {
            low = middle;
        } else {
            high = middle - 1;
        }
    }
    return (low ? title.substr(0, ends[low - 1]) : std::string()) + "...";
}

void CViewPlenvo::Paint(gfx::Graphics& graphics, const gfx::RectF& clip, int /*layer*/) {
    if (printing_) {
        return;
    }
    const double x = position_.x;
    const double y = position_.y;
    const double width = size_.width;
    const gfx::SolidBrush black(0xFF000000);

    gfx::StringFormat centred;
    centred.SetAlignment(gfx::StringAlignment::Center);
    centred.SetLineAlignment(gfx::StringAlignment::Center);
    graphics.DrawString(record_.title, gfx::Font("宋体", 12 * gfx::kMmPerPoint), TitleArea(),
                        centred, black);

    const gfx::Font titleFont("宋体", 7.2);
    const gfx::StringFormat noWrap(gfx::StringFormat::kNoWrap);
    const auto measure = [&](const std::string& text) {
        return graphics.MeasureString(text, titleFont, {0, 0, 0, 0}, noWrap).width;
    };
    const std::string lessonTitle = FitTitle(record_.lessiontitle, width - 20.0, measure);
    const double titleWidth = measure(lessonTitle);
    graphics.DrawString(lessonTitle, titleFont, {x + 10.0, y + 8.0, width - 20.0, 15.0}, noWrap,
                        gfx::SolidBrush(0xFF4677A5));

    const gfx::Pen separator(0xFFE1E1E1, 0.3);
    const std::array<gfx::PointF, 2> rule{
        gfx::PointF{x + 10.0 - 5.0, y + 19.0},
        gfx::PointF{std::max(x + 10.0 + 50.0, x + 10.0 + titleWidth + 15.0), y + 19.0}};
    graphics.DrawLines(separator, rule);

    const std::int64_t shown = record_.modified != 0 ? record_.modified : record_.created;
    dateArea_ = {x + 10.0, y + 23.0, width, 15.0};
    graphics.DrawString(FormatLocalTime(shown), gfx::Font("宋体", 3.9), dateArea_,
                        gfx::StringFormat(), gfx::SolidBrush(0xFF757575));

    const int state = graphics.Save();
    const gfx::RectF gridArea = GridArea();
    graphics.SetClip(gridArea, gfx::CombineMode::Intersect);
    const gfx::RectF gridClip = gfx::RectF::Intersect(clip, gridArea);
    const LineIcons icons{addLineIcon_.get(), deleteLineIcon_.get()};
    for (const auto& line : lines_) {
        gfx::RectF area = line->Rect();
        // The icons lie right of the line; a clip that meets only them still paints them.
        area.width += 13.0 + CGridLine::kIconSize;
        if (area.Intersects(gridClip)) {
            line->Paint(graphics, gridClip, icons);
        }
    }
    graphics.Restore(state);
}

// --- Input ---

bool CViewPlenvo::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_PLENVO_BASE) {
        Relayout(true);
        return true;
    }
    // Lines and cells may release this element's grid while they work.
    const auto self = shared_from_this();
    if (const auto cell = capturingCell_.lock()) {
        if (cell->HandleMessage(message, wParam, lParam, result)) {
            return true;
        }
    }
    bool done = false;
    if (IsMouseMessage(message)) {
        const bool handled = HandleMouse(message, wParam, lParam, result, done);
        if (done) {
            return handled;
        }
    }
    const auto lines = lines_;
    for (const auto& line : lines) {
        if (line->HandleMessage(message, wParam, lParam, result)) {
            if (message == WM_KEYDOWN || message == WM_CHAR) {
                RevealCaret();
            }
            return true;
        }
    }
    switch (message) {
    case WM_LBUTTONDOWN:
        CViewElement::SetFocusId(nullptr);
        SetMouseCapture(true, this);
        dragging_ = 1;
        dragStartY_ = MessagePointMm(message, lParam).y;
        dragStartOffset_ = scrollOffset_;
        return true;
    case WM_MOUSEMOVE:
        CViewElement::SetCursor(planCursor_);
        return false;
    case WM_RBUTTONUP:
        ShowPlanMenu(lParam);
        return true;
    default:
        return false;
    }
}

bool CViewPlenvo::HandleMouse(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& /*result*/,
                              bool& done) {
    const gfx::PointF point = MessagePointMm(message, lParam);
    done = true;
    if (!GetRect().Contains(point) && !dragging_) {
        return false;
    }
    const double view = size_.height - headerHeight_;
    if (message == WM_MOUSEWHEEL) {
        const double before = DrawnOffset();
        if (contentHeight_ > view) {
            const int delta = HighWord(static_cast<LPARAM>(wParam));
            const double moved = scrollOffset_ + (delta > 0 ? kWheelStep : -kWheelStep);
            scrollOffset_ = std::clamp(moved, -(contentHeight_ - view), 0.0);
        } else {
            scrollOffset_ = 0;
        }
        SetScrollOffset(scrollOffset_);
        const double moved = DrawnOffset() - before;
        if (moved == 0) {
            return true;
        }
        // The window moves the picture first, so that the server copies while the grid is laid
        // out again and the rows uncovered are painted.
        if (!ScrollRectMm(*this, GridArea(), moved)) {
            Relayout(true);
            InvalidateGrid(GridArea());
            return true;
        }
        Relayout(false);
        // The title reaches into the grid area and stays: repainted where the move took it and
        // where it is.
        const gfx::RectF title = TitleArea();
        InvalidateGrid(title);
        InvalidateGrid({title.x, title.y + moved, title.width, title.height});
        return true;
    }
    if (message == WM_MOUSEMOVE && dragging_) {
        if (contentHeight_ <= view) {
            return true;
        }
        const double offset = point.y - dragStartY_ + dragStartOffset_;
        scrollOffset_ = std::clamp(offset, -(contentHeight_ - size_.height), 0.0);
        SetScrollOffset(scrollOffset_);
        Relayout(true);
        return true;
    }
    if (message == WM_LBUTTONUP && dragging_) {
        dragging_ = 0;
        SetMouseCapture(false, this);
        return true;
    }
    done = false;
    return false;
}

void CViewPlenvo::ShowPlanMenu(LPARAM lParam) {
    PopupMenuRequest menu;
    menu.owner = GetHandle();
    menu.items.push_back({kPrintCommand, "打印", true});
    menu.items.push_back({kInfoCommand, "基本信息", true});
    const Point origin = ClientToScreenOrigin();
    menu.x = LowWord(lParam) + origin.x;
    menu.y = HighWord(lParam) + origin.y;
    const UINT command = TrackPopupMenu(menu);
    if (command == kPrintCommand) {
        Print();
    } else if (command == kInfoCommand) {
        if (const auto id = record_.NumericId(); id && hostWindow_) {
            PostMessage(hostWindow_->GetHandle(), WM_EDIT_PLAN_INFO, static_cast<WPARAM>(*id), 0);
        }
    }
}

// --- IPage ---

std::string CViewPlenvo::GetPlanId() {
    return record_.id;
}

void CViewPlenvo::InsertLineAfter(CGridLine* line) {
    const auto it = std::find_if(lines_.begin(), lines_.end(),
                                 [line](const auto& l) { return l.get() == line; });
    if (it == lines_.end()) {
        return;
    }
    // A tick that names a line already in the plan (two adds within one tick, or a clock
    // that started again) would give two cells one name: take the next free number.
    std::uint32_t number = GetTickCount();
    while (NameInUse(TeachingLineStem(number))) {
        ++number;
    }
    const std::string stem = TeachingLineStem(number);
    auto added = std::make_shared<CGridLine>(CopyTeachingLine(line->Description(), stem), this);
    added->LinkParents();
    const std::string afterName = line->Name();
    lines_.insert(it + 1, added);
    Relayout(true);
    SendAddLine(added, afterName);
}

void CViewPlenvo::RemoveLine(CGridLine* line) {
    const auto it = std::find_if(lines_.begin(), lines_.end(),
                                 [line](const auto& l) { return l.get() == line; });
    if (it == lines_.end()) {
        return;
    }
    const auto removed = *it;
    lines_.erase(it);
    DropLine(removed);
    Relayout(true);
    InvalidateSelf();
    const std::string base = EndpointBase();
    if (!base.empty()) {
        SendLineEvent(CServiceEndpoints(base).DeleteLineEvent(removed->Name(), record_.id, true));
    }
}

void CViewPlenvo::SendAddLine(const std::shared_ptr<CGridLine>& line,
                              const std::string& afterName) {
    const std::string base = EndpointBase();
    auto* view = dynamic_cast<CView*>(GetRoot());
    if (base.empty() || !view) {
        return;
    }
    const std::string url =
        CServiceEndpoints(base).AddLineEvent(line->Name(), afterName, record_.id);
    auto request = std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__,
                                                                  view->Services().session);
    const std::weak_ptr<CViewElement> weak = weak_from_this();
    const std::weak_ptr<CGridLine> weakLine = line;
    request->Get(url, [weak, weakLine](SimpleCurl::response& reply) {
        const auto failure = LineEventFailure(reply);
        auto self = std::static_pointer_cast<CViewPlenvo>(weak.lock());
        if (!failure || !self) {
            return;
        }
        // The service does not know the line, so nothing typed into it would come back:
        // take it away again and say why.
        if (const auto line = weakLine.lock()) {
            const auto it = std::find(self->lines_.begin(), self->lines_.end(), line);
            if (it != self->lines_.end()) {
                self->lines_.erase(it);
                self->DropLine(line);
                self->Relayout(true);
                self->InvalidateSelf();
            }
        }
        if (IHostWindow* window = self->CViewElement::GetHostWindow()) {
            window->ShowBottomMessage("添加行失败，新行已移除：" + *failure, "错误", "确定",
                                      std::nullopt, {});
        }
    });
}

void CViewPlenvo::SendLineEvent(const std::string& url) {
    auto* view = dynamic_cast<CView*>(GetRoot());
    if (!view) {
        return;
    }
    std::make_shared<SimpleCurl::CSimpleCurlAsync>(__FILE__, __LINE__, view->Services().session)
        ->Get(url);
}

std::string CViewPlenvo::EndpointBase() {
    auto* view = dynamic_cast<CView*>(GetRoot());
    return view && !record_.id.empty() ? view->Services().serviceBase : std::string();
}

void CViewPlenvo::AnnounceSubLine(const std::string& name) {
    const std::string base = EndpointBase();
    if (!base.empty()) {
        // Names and ids always go encoded: a name from a template may hold any character.
        SendLineEvent(CServiceEndpoints(base).AddSubLineEvent(SimpleCurl::UrlEncode(name),
                                                              SimpleCurl::UrlEncode(record_.id)));
    }
}

void CViewPlenvo::AnnounceSubLineRemoved(const std::string& name) {
    const std::string base = EndpointBase();
    if (!base.empty()) {
        SendLineEvent(CServiceEndpoints(base).DeleteLineEvent(name, record_.id, true));
    }
}

gfx::PointF CViewPlenvo::GetPosition() {
    return position_;
}

std::shared_ptr<CGridCell> CViewPlenvo::CellAt(gfx::PointF pointMm) {
    for (const auto& line : lines_) {
        if (auto cell = line->CellAt(pointMm)) {
            return cell;
        }
    }
    return nullptr;
}

std::shared_ptr<CGridCell> CViewPlenvo::FindCell(const std::string& name) {
    for (const auto& line : lines_) {
        if (auto cell = line->FindCell(name)) {
            return cell;
        }
    }
    return nullptr;
}

bool CViewPlenvo::NameInUse(const std::string& stem) {
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const auto& line) { return line->NameInUse(stem); });
}

std::vector<std::shared_ptr<CGridCell>> CViewPlenvo::CollectCells(const CellPredicate& predicate) {
    std::vector<std::shared_ptr<CGridCell>> cells;
    for (const auto& line : lines_) {
        line->Collect(predicate, cells);
    }
    return cells;
}

bool CViewPlenvo::TakeChanges() {
    return !CollectCells([](CGridCell& cell) { return cell.TakeChanged(); }).empty();
}

bool CViewPlenvo::IsFocused(ElementId id) {
    return CViewElement::IsFocused(id);
}

void CViewPlenvo::SetFocusId(ElementId id, KillFocusCallback killFocus) {
    CViewElement::SetFocusId(id, std::move(killFocus));
}

IHostWindow* CViewPlenvo::GetHostWindow() {
    return CViewElement::GetHostWindow();
}

void CViewPlenvo::ShowGradeAndSubject() {
    if (const auto cell = FindCell("template.grade.value")) {
        cell->SetText(TableEntry(kGrades, record_.grade));
    }
    if (const auto cell = FindCell("template.subject.value")) {
        cell->SetText(TableEntry(kSubjects, record_.subject));
    }
}

void CViewPlenvo::MarkModified(std::int64_t time) {
    UpdateHistoryItem(time);
    if (time / 60 != record_.modified / 60) {
        InvalidateRectMm(dateArea_);
    }
    record_.modified = time;
}

void CViewPlenvo::UpdateHistoryItem(std::int64_t time) {
    CViewElement* root = GetRoot();
    const auto id = record_.NumericId();
    if (!root || !id) {
        return;
    }
    const auto list = std::dynamic_pointer_cast<CViewList>(root->FindByName("historylist"));
    CViewListItem* item = list ? list->GetItem(static_cast<std::uint32_t>(*id)) : nullptr;
    if (!item) {
        return;
    }
    const std::string text = FormatLocalTime(time);
    if (item->GetSubtitle() != text) {
        item->SetSubtitle(text);
        list->InvalidateRectMm(item->GetRect());
    }
}

void CViewPlenvo::LinesChanged() {}

platform::HWND CViewPlenvo::GetHandle() {
    if (printing_) {
        return printerWindow_;
    }
    IHostWindow* window = GetHostWindow();
    return window ? window->GetHandle() : 0;
}

gfx::Graphics* CViewPlenvo::GetDC() {
    if (printing_) {
        return printerDc_;
    }
    IHostWindow* window = GetHostWindow();
    return window ? window->GetDC() : nullptr;
}

void CViewPlenvo::ReleaseDC(gfx::Graphics* dc) {
    if (printing_) {
        return;
    }
    if (IHostWindow* window = GetHostWindow()) {
        window->ReleaseDC(dc);
    }
}

void CViewPlenvo::SetCellCapture(bool on, CGridCell* cell) {
    if (on) {
        capturingCell_ = cell ? cell->weak_from_this() : std::weak_ptr<CGridCell>();
        SetMouseCapture(true, this);
    } else {
        capturingCell_.reset();
        SetMouseCapture(false, this);
    }
}

bool CViewPlenvo::HasCellCapture(const CGridCell* cell) {
    const auto capturing = capturingCell_.lock();
    return capturing && capturing.get() == cell;
}

void CViewPlenvo::SaveVersion() {
    if (const auto& save = GetPlanHooks().saveVersion) {
        save(*this);
    }
}

void CViewPlenvo::SaveToService() {
    if (const auto& save = GetPlanHooks().saveToService) {
        save(*this);
    }
}

void CViewPlenvo::Print() {
    if (const auto& print = GetPlanHooks().print) {
        print(*this);
    }
}

void CViewPlenvo::BeginPrinting(gfx::Graphics* printer, platform::HWND printerWindow,
                                double printerDpi) {
    printing_ = printerDpi > 0 ? 1 : 0;
    printerDpi_ = printerDpi;
    printerDc_ = printer;
    printerWindow_ = printerWindow;
}

void CViewPlenvo::EndPrinting() {
    printing_ = 0;
    printerDc_ = nullptr;
    printerWindow_ = 0;
    printerDpi_ = 0;
}

std::uint32_t CViewPlenvo::GetTickCount() {
    return tick_ ? tick_() : static_cast<std::uint32_t>(platform::GetTickCount());
}

std::int64_t CViewPlenvo::Now() {
    return now_ ? now_() : static_cast<std::int64_t>(std::time(nullptr));
}

void CViewPlenvo::SetClocks(std::function<std::uint32_t()> tick,
                            std::function<std::int64_t()> now) {
    tick_ = std::move(tick);
    now_ = std::move(now);
}

void CViewPlenvo::SetCellCursor(Cursor cursor) {
    CViewElement::SetCursor(cursor);
}

Point CViewPlenvo::ClientToScreenOrigin() {
    const Point origin = ScreenToClient(Point{0, 0});
    return {-origin.x, -origin.y};
}

} // namespace Plenvo
