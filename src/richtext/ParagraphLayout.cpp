#include "richtext/ParagraphLayout.h"

#include "richtext/LayoutContext.h"

#include "platform/Encoding.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>

namespace richtext {

namespace {

// Characters a chunk holds at least before it ends where a line may break: enough that the
// glyph runs stay long, few enough that shaping a chunk again costs little.
constexpr std::size_t kChunkChars = 48;
// A chunk ends at a cursor position when no line break comes for this long (a long URL).
constexpr std::size_t kChunkCap = 4 * kChunkChars;

double Channel(std::uint32_t rgb, int shift) {
    return ((rgb >> shift) & 0xFF) / 255.0;
}

} // namespace

std::uint32_t CParagraphLayout::LocalFormat(const CDocument& doc, std::uint32_t id) {
    const CharFormat& f = doc.Format(id);
    const auto it = std::find(formats_.begin(), formats_.end(), f);
    if (it != formats_.end()) {
        return static_cast<std::uint32_t>(it - formats_.begin());
    }
    formats_.push_back(f);
    return static_cast<std::uint32_t>(formats_.size() - 1);
}

void CParagraphLayout::PrepareText(const CDocument& doc, const Paragraph& p,
                                   const LayoutOptions& options) {
    options_ = options;
    alignment_ = p.alignment;
    length_ = p.text.size();
    text_.clear();
    text_.reserve(p.text.size() * 3 + 4);
    byteOf_.assign(1, 0);
    byteOf_.reserve(p.text.size() + 2);
    for (char32_t c : p.text) {
        if (options.passwordChar != 0) {
            c = options.passwordChar;
        } else if (c == kLineBreak) {
            c = U'\n';
        } else if (c == 0) {
            c = 0xFFFD; // pango takes no NUL inside the text
        }
        platform::AppendUtf8(text_, c);
        byteOf_.push_back(static_cast<int>(text_.size()));
    }
    // An empty last line takes its height from an invisible zero-width space in its font.
    if (text_.empty() || text_.back() == '\n') {
        text_ += "\u200B";
        byteOf_.push_back(static_cast<int>(text_.size()));
    }
    styles_.clear();
    const std::uint32_t endFormat = LocalFormat(doc, p.endFormat);
    std::size_t at = 0;
    for (const Run& r : p.runs) {
        styles_.push_back({at, at + r.length, LocalFormat(doc, r.format)});
        at += r.length;
    }
    const std::size_t chars = byteOf_.size() - 1;
    if (at < chars) {
        styles_.push_back({at, chars, endFormat});
    }
}

void CParagraphLayout::ComputeAttrs(std::size_t from, std::size_t to, PangoLogAttr* out) const {
    const int a = byteOf_[from];
    pango_get_log_attrs(text_.data() + a, byteOf_[to] - a, 0,
                        pango_context_get_language(LayoutContext()), out,
                        static_cast<int>(to - from + 1));
}

void CParagraphLayout::UpdateAttrs(std::vector<PangoLogAttr> old, const EditSpan* span) {
    const std::size_t chars = byteOf_.size() - 1;
    const std::size_t oldChars = old.empty() ? 0 : old.size() - 1;
    if (span == nullptr || oldChars < span->oldEnd || chars < span->newEnd ||
        oldChars - span->oldEnd != chars - span->newEnd) {
        attrs_.assign(chars + 1, PangoLogAttr{});
        ComputeAttrs(0, chars, attrs_.data());
        return;
    }
    // Breaks depend on a few characters round them: the attributes of a window round the edit
    // are computed again, and only those away from the window's own edges are taken.
    constexpr std::size_t kMargin = 32;
    const std::size_t from = span->start > 2 * kMargin ? span->start - 2 * kMargin : 0;
    const std::size_t to = std::min(chars, span->newEnd + 2 * kMargin);
    std::vector<PangoLogAttr> window(to - from + 1);
    ComputeAttrs(from, to, window.data());
    const std::size_t keepBefore = from == 0 ? 0 : from + kMargin;
    const std::size_t keepAfter = to == chars ? chars + 1 : to - kMargin;
    attrs_.resize(chars + 1);
    std::copy(old.begin(), old.begin() + static_cast<std::ptrdiff_t>(keepBefore), attrs_.begin());
    std::copy(window.begin() + static_cast<std::ptrdiff_t>(keepBefore - from),
              window.begin() + static_cast<std::ptrdiff_t>(keepAfter - from),
              attrs_.begin() + static_cast<std::ptrdiff_t>(keepBefore));
    const std::size_t tail = chars + 1 - keepAfter;
    std::copy(old.end() - static_cast<std::ptrdiff_t>(tail), old.end(),
              attrs_.begin() + static_cast<std::ptrdiff_t>(keepAfter));
}

std::size_t CParagraphLayout::ChunkEnd(std::size_t start, std::size_t limit) const {
    for (std::size_t p = start + 1; p < limit; ++p) {
        if (attrs_[p].is_mandatory_break) {
            return p;
        }
        const std::size_t length = p - start;
        if ((length >= kChunkChars && attrs_[p].is_line_break) ||
            (length >= kChunkCap && attrs_[p].is_cursor_position)) {
            return p;
        }
    }
    return limit;
}

std::unique_ptr<CShapedChunk> CParagraphLayout::Shape(std::size_t start, std::size_t end) const {
    const int from = byteOf_[start];
    std::vector<int> bytes;
    bytes.reserve(end - start + 1);
    for (std::size_t i = start; i <= end; ++i) {
        bytes.push_back(byteOf_[i] - from);
    }
    std::vector<FormatSpan> spans;
    for (const Style& s : styles_) {
        if (s.end > start && s.start < end) {
            spans.push_back(
                {std::max(s.start, start) - start, std::min(s.end, end) - start, s.format});
        }
    }
    const std::string_view text(text_.data() + from, static_cast<std::size_t>(byteOf_[end] - from));
    return std::make_unique<CShapedChunk>(text, bytes, spans, formats_);
}

void CParagraphLayout::ShapeRange(std::size_t start, std::size_t end, std::vector<Chunk>& out) {
    shaped_ = 0;
    while (start < end) {
        ++shaped_;
        const std::size_t next = ChunkEnd(start, end);
        out.push_back({start, Shape(start, next)});
        start = next;
    }
}

void CParagraphLayout::CollectWidths() {
    widths_.clear();
    widths_.reserve(byteOf_.size() - 1);
    for (const Chunk& c : chunks_) {
        widths_.insert(widths_.end(), c.shaped->Widths().begin(), c.shaped->Widths().end());
    }
}

std::vector<CParagraphLayout::Chunk>::const_iterator
CParagraphLayout::ChunkAt(std::size_t offset) const {
    const auto after = std::upper_bound(chunks_.begin(), chunks_.end(), offset,
                                        [](std::size_t v, const Chunk& c) { return v < c.start; });
    return after - 1;
}

bool CParagraphLayout::IsLineSeparator(std::size_t offset) const {
    return text_[static_cast<std::size_t>(byteOf_[offset])] == '\n';
}

int CParagraphLayout::Advance(std::size_t offset, int x) const {
    // A tab reaches the next stop.
    const int stop = ToPango(options_.tabStop);
    if (stop > 0 && text_[static_cast<std::size_t>(byteOf_[offset])] == '\t') {
        return (x / stop + 1) * stop - x;
    }
    return widths_[offset];
}

CParagraphLayout::Line CParagraphLayout::MakeLine(std::size_t start, std::size_t end, int top,
                                                  bool wrapped) const {
    Line line;
    line.start = start;
    line.end = end;
    line.top = top;
    for (auto chunk = ChunkAt(start); chunk != chunks_.end() && chunk->start < end; ++chunk) {
        for (const GlyphRun& run : chunk->shaped->Runs()) {
            if (chunk->start + run.end > start && chunk->start + run.start < end) {
                line.ascent = std::max(line.ascent, run.ascent);
                line.descent = std::max(line.descent, run.descent);
            }
        }
    }
    line.hangs = wrapped && attrs_[end - 1].is_white;
    std::size_t content = line.hangs ? end - 1 : end;
    if (content > start && IsLineSeparator(content - 1)) {
        --content;
    }
    for (std::size_t c = start; c < content; ++c) {
        line.width += Advance(c, line.width);
    }
    if (alignment_ == Alignment::Justify && wrapped && options_.width > 0) {
        // Between words where there are blanks; between characters in Chinese text.
        int spaces = 0;
        int clusters = 0;
        for (std::size_t c = start; c + 1 < content; ++c) {
            spaces += attrs_[c].is_expandable_space ? 1 : 0;
            clusters += attrs_[c + 1].is_cursor_position ? 1 : 0;
        }
        line.gaps = spaces > 0 ? spaces : -clusters;
        line.spare = std::max(0, ToPango(options_.width) - line.width);
        if (line.gaps == 0) {
            line.spare = 0;
        }
    }
    return line;
}

std::vector<int> CParagraphLayout::Advances(const Line& line) const {
    std::vector<int> out;
    out.reserve(line.end - line.start);
    const int gaps = std::abs(line.gaps);
    int x = 0;
    int gap = 0;
    for (std::size_t c = line.start; c < line.end; ++c) {
        int w = Advance(c, x);
        if (line.hangs && c + 1 == line.end) {
            w = 0;
        }
        if (line.spare > 0 && c + 1 < line.end - (line.hangs ? 1 : 0)) {
            const bool isGap = line.gaps > 0 ? attrs_[c].is_expandable_space
                                             : attrs_[c + 1].is_cursor_position != 0;
            if (isGap) {
                const long long spare = line.spare;
                w += static_cast<int>(spare * (gap + 1) / gaps - spare * gap / gaps);
                ++gap;
            }
        }
        out.push_back(w);
        x += w;
    }
    return out;
}

void CParagraphLayout::BreakLines() {
    lines_.clear();
    const std::size_t chars = byteOf_.size() - 1;
    const int limit = options_.width > 0 ? ToPango(options_.width) : INT_MAX;
    std::size_t start = 0;
    int top = 0;
    do {
        std::size_t end = chars;
        std::size_t lastBreak = 0;
        bool wrapped = false;
        int x = 0;
        for (std::size_t i = start; i < chars; ++i) {
            if (i > start && attrs_[i].is_mandatory_break) {
                end = i;
                break;
            }
            // A break before i is possible when the line fits without the blank it swallows.
            if (i > start && attrs_[i].is_line_break) {
                const int swallowed = attrs_[i - 1].is_white ? widths_[i - 1] : 0;
                if (x - swallowed <= limit) {
                    lastBreak = i;
                }
            }
            const int w = Advance(i, x);
            if (i > start && x + w > limit && !attrs_[i].is_white) {
                wrapped = true;
                if (lastBreak > start) {
                    end = lastBreak;
                } else {
                    // A word longer than the line breaks between characters.
                    end = i;
                    while (end > start + 1 && !attrs_[end].is_cursor_position) {
                        --end;
                    }
                    while (end < i && !attrs_[end].is_cursor_position) {
                        ++end;
                    }
                }
                break;
            }
            x += w;
        }
        Line line = MakeLine(start, end, top, wrapped);
        top += line.ascent + line.descent;
        lines_.push_back(line);
        start = end;
    } while (start < chars);
    Align();
}

void CParagraphLayout::Align() {
    int widest = 0;
    for (const Line& l : lines_) {
        widest = std::max(widest, l.width);
    }
    const int room = options_.width > 0 ? ToPango(options_.width) : widest;
    width_ = 0;
    for (Line& l : lines_) {
        const int spare = l.spare > 0 ? 0 : std::max(0, room - l.width);
        l.x = alignment_ == Alignment::Center  ? spare / 2
              : alignment_ == Alignment::Right ? spare
                                               : 0;
        width_ = std::max(width_, FromPango(l.x + l.width + l.spare));
    }
    const Line& last = lines_.back();
    height_ = FromPango(last.top + last.ascent + last.descent);
    indent_ = 0;
    if (options_.width <= 0 && options_.alignWidth > width_) {
        const double free = options_.alignWidth - width_;
        indent_ = alignment_ == Alignment::Center  ? free / 2
                  : alignment_ == Alignment::Right ? free
                                                   : 0;
    }
}

void CParagraphLayout::Build(const CDocument& doc, const Paragraph& p,
                             const LayoutOptions& options) {
    const double before = height_;
    const bool wasBuilt = Built();
    formats_.clear();
    PrepareText(doc, p, options);
    UpdateAttrs({}, nullptr);
    chunks_.clear();
    ShapeRange(0, byteOf_.size() - 1, chunks_);
    CollectWidths();
    BreakLines();
    damage_ = {0, height_ == before && wasBuilt ? height_ : HUGE_VAL};
}

void CParagraphLayout::Rebuild(const CDocument& doc, const Paragraph& p,
                               const LayoutOptions& options, const EditSpan& span) {
    if (!Built() || !(options == options_)) {
        Build(doc, p, options);
        return;
    }
    const double before = height_;
    const std::vector<Line> old = std::move(lines_);
    std::vector<Chunk> kept = std::move(chunks_);
    chunks_.clear();
    PrepareText(doc, p, options);
    UpdateAttrs(std::move(attrs_), &span);
    const std::size_t chars = byteOf_.size() - 1;
    // Chunks wholly before the edit and wholly after it keep their glyphs; the edit and the
    // chunks it touches are shaped again.
    std::size_t head = 0;
    std::size_t from = 0;
    while (head < kept.size() && kept[head].start + kept[head].shaped->Length() < span.start) {
        from = kept[head].start + kept[head].shaped->Length();
        ++head;
    }
    std::size_t tail = kept.size();
    std::size_t after = 0; // characters of the kept chunks after the edit
    while (tail > head && kept[tail - 1].start > span.oldEnd) {
        after += kept[tail - 1].shaped->Length();
        --tail;
    }
    // A kept chunk's edge must still be a place where a line may break, or shaping would miss
    // the context across it (a kerning pair or ligature of a word the edit joined).
    const auto breaks = [this](std::size_t at) {
        return attrs_[at].is_line_break || attrs_[at].is_mandatory_break;
    };
    while (head > 0 && from > 0 && !breaks(from)) {
        --head;
        from = kept[head].start;
    }
    while (tail < kept.size() && after <= chars && !breaks(chars - after)) {
        after -= kept[tail].shaped->Length();
        ++tail;
    }
    if (after > chars || chars - after < from) {
        Build(doc, p, options); // the span does not describe this text
        return;
    }
    for (std::size_t i = 0; i < head; ++i) {
        chunks_.push_back(std::move(kept[i]));
    }
    ShapeRange(from, chars - after, chunks_);
    std::size_t at = chars - after;
    for (std::size_t i = tail; i < kept.size(); ++i) {
        kept[i].start = at;
        at += kept[i].shaped->Length();
        chunks_.push_back(std::move(kept[i]));
    }
    CollectWidths();
    BreakLines();
    SetDamage(old, before, span);
}

void CParagraphLayout::SetWidth(const LayoutOptions& options) {
    options_ = options;
    BreakLines();
    damage_ = {0, HUGE_VAL};
}

void CParagraphLayout::SetDamage(const std::vector<Line>& old, double oldHeight,
                                 const EditSpan& span) {
    std::size_t first = 0;
    while (first < lines_.size() && first < old.size() && lines_[first] == old[first] &&
           lines_[first].end <= span.start) {
        ++first;
    }
    const auto delta =
        static_cast<std::ptrdiff_t>(span.newEnd) - static_cast<std::ptrdiff_t>(span.oldEnd);
    std::size_t last = lines_.size();
    std::size_t o = old.size();
    while (last > first + 1 && o > 0) {
        Line moved = old[o - 1];
        if (moved.start <= span.oldEnd) {
            break;
        }
        moved.start = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(moved.start) + delta);
        moved.end = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(moved.end) + delta);
        if (!(moved == lines_[last - 1])) {
            break;
        }
        --last;
        --o;
    }
    first = std::min(first, lines_.size() - 1);
    const Line& bottom = lines_[std::max(last, first + 1) - 1];
    damage_ = {FromPango(lines_[first].top),
               height_ != oldHeight ? HUGE_VAL
                                    : FromPango(bottom.top + bottom.ascent + bottom.descent)};
}

std::vector<CParagraphLayout::Piece>
CParagraphLayout::Pieces(const Line& line, const std::vector<int>& advances) const {
    std::vector<Piece> pieces;
    for (auto chunk = ChunkAt(line.start); chunk != chunks_.end() && chunk->start < line.end;
         ++chunk) {
        for (const GlyphRun& run : chunk->shaped->Runs()) {
            const std::size_t a = std::max(line.start, chunk->start + run.start);
            const std::size_t b = std::min(line.end, chunk->start + run.end);
            if (a >= b) {
                continue;
            }
            Piece piece{&run, chunk->start + run.start, a, b, 0, 0};
            for (std::size_t c = a; c < b; ++c) {
                piece.width += advances[c - line.start];
            }
            pieces.push_back(piece);
        }
    }
    // Right-to-left runs in visual order: reverse every stretch at or above each odd level.
    int highest = 0;
    for (const Piece& p : pieces) {
        highest = std::max(highest, p.run->level);
    }
    for (int level = highest; level >= 1; --level) {
        for (auto it = pieces.begin(); it != pieces.end();) {
            if (it->run->level < level) {
                ++it;
                continue;
            }
            auto stretch = it;
            while (stretch != pieces.end() && stretch->run->level >= level) {
                ++stretch;
            }
            std::reverse(it, stretch);
            it = stretch;
        }
    }
    int x = line.x;
    for (Piece& p : pieces) {
        p.x = x;
        x += p.width;
    }
    return pieces;
}

int CParagraphLayout::XOf(const Line& line, const std::vector<Piece>& pieces,
                          const std::vector<int>& advances, std::size_t offset) const {
    for (const Piece& p : pieces) {
        if (offset < p.start || offset >= p.end) {
            continue;
        }
        int before = 0;
        for (std::size_t c = p.start; c < offset; ++c) {
            before += advances[c - line.start];
        }
        return p.run->level % 2 ? p.x + p.width - before : p.x + before;
    }
    if (pieces.empty()) {
        return line.x;
    }
    // The end of the line: after its logically last piece.
    const Piece* lastPiece = &pieces.front();
    for (const Piece& p : pieces) {
        if (p.end > lastPiece->end) {
            lastPiece = &p;
        }
    }
    return lastPiece->run->level % 2 ? lastPiece->x : lastPiece->x + lastPiece->width;
}

const CParagraphLayout::Line& CParagraphLayout::LineOf(std::size_t offset) const {
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), offset,
                                     [](std::size_t v, const Line& l) { return v < l.start; });
    return it == lines_.begin() ? lines_.front() : *(it - 1);
}

std::size_t CParagraphLayout::LineIndexAt(double y) const {
    const int units = ToPango(y);
    const auto it = std::upper_bound(lines_.begin(), lines_.end(), units,
                                     [](int v, const Line& l) { return v < l.top; });
    return it == lines_.begin() ? 0 : static_cast<std::size_t>(it - lines_.begin()) - 1;
}

void CParagraphLayout::DrawPiece(cairo_t* cr, const Piece& piece, const std::vector<int>& advances,
                                 std::size_t lineStart, double x, double baseline) const {
    const GlyphRun& run = *piece.run;
    const PangoGlyphString* all = run.glyphs.get();
    const int runByte = byteOf_[piece.runStart];
    const int from = byteOf_[piece.start] - runByte;
    const int to = byteOf_[piece.end] - runByte;
    // The run's glyphs of these characters: a stretch, in visual order either way.
    int first = 0;
    while (first < all->num_glyphs &&
           (all->log_clusters[first] < from || all->log_clusters[first] >= to)) {
        ++first;
    }
    int last = first;
    while (last < all->num_glyphs && all->log_clusters[last] >= from &&
           all->log_clusters[last] < to) {
        ++last;
    }
    PangoGlyphString* glyphs = pango_glyph_string_new();
    pango_glyph_string_set_size(glyphs, last - first);
    std::copy(all->glyphs + first, all->glyphs + last, glyphs->glyphs);
    std::copy(all->log_clusters + first, all->log_clusters + last, glyphs->log_clusters);
    // Each cluster takes the room the line gives its characters (tabs, justification); the
    // characters follow each other in the text as the clusters do.
    const bool rtl = run.level % 2 != 0;
    std::size_t c = piece.start;
    for (int k = 0; k < glyphs->num_glyphs;) {
        const int g = rtl ? glyphs->num_glyphs - 1 - k : k;
        const int cluster = glyphs->log_clusters[g];
        int natural = 0;
        int end = k;
        for (; end < glyphs->num_glyphs; ++end) {
            const int h = rtl ? glyphs->num_glyphs - 1 - end : end;
            if (glyphs->log_clusters[h] != cluster) {
                break;
            }
            natural += glyphs->glyphs[h].geometry.width;
        }
        const int next = end < glyphs->num_glyphs
                             ? glyphs->log_clusters[rtl ? glyphs->num_glyphs - 1 - end : end]
                             : to;
        int target = 0;
        for (; c < piece.end && byteOf_[c] < runByte + next; ++c) {
            target += advances[c - lineStart];
        }
        glyphs->glyphs[rtl ? glyphs->num_glyphs - end : end - 1].geometry.width += target - natural;
        k = end;
    }
    const CharFormat& f = formats_[run.format];
    const std::uint32_t rgb = f.autoColor ? options_.autoColor : f.color;
    cairo_set_source_rgb(cr, Channel(rgb, 16), Channel(rgb, 8), Channel(rgb, 0));
    // Drawn with the characters they stand for, so that a printed page's text can be searched.
    for (int g = 0; g < glyphs->num_glyphs; ++g) {
        glyphs->log_clusters[g] -= from;
    }
    PangoItem* item = pango_item_new();
    item->offset = byteOf_[piece.start];
    item->length = to - from;
    item->num_chars = static_cast<int>(piece.end - piece.start);
    item->analysis.font = PANGO_FONT(g_object_ref(run.font.get()));
    item->analysis.level = static_cast<guint8>(run.level);
    item->analysis.language = run.language;
    PangoGlyphItem glyphItem{item, glyphs, 0, 0, 0};
    cairo_move_to(cr, x, baseline);
    pango_cairo_show_glyph_item(cr, text_.data(), &glyphItem);
    pango_item_free(item);
    pango_glyph_string_free(glyphs);
    if (f.underline || f.strikeout) {
        PangoFontMetrics* metrics = pango_font_get_metrics(run.font.get(), run.language);
        const double width = FromPango(piece.width);
        if (f.underline) {
            cairo_rectangle(
                cr, x, baseline - FromPango(pango_font_metrics_get_underline_position(metrics)),
                width, FromPango(pango_font_metrics_get_underline_thickness(metrics)));
        }
        if (f.strikeout) {
            cairo_rectangle(
                cr, x, baseline - FromPango(pango_font_metrics_get_strikethrough_position(metrics)),
                width, FromPango(pango_font_metrics_get_strikethrough_thickness(metrics)));
        }
        cairo_fill(cr);
        pango_font_metrics_unref(metrics);
    }
}

void CParagraphLayout::Draw(cairo_t* cr, double x, double y, double y0, double y1) const {
    for (std::size_t i = LineIndexAt(y0); i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (FromPango(line.top) > y1) {
            break;
        }
        if (FromPango(line.top + line.ascent + line.descent) < y0) {
            continue;
        }
        const std::vector<int> advances = Advances(line);
        const double baseline = y + FromPango(line.top + line.ascent);
        for (const Piece& piece : Pieces(line, advances)) {
            DrawPiece(cr, piece, advances, line.start, x + indent_ + FromPango(piece.x), baseline);
        }
    }
}

void CParagraphLayout::DrawBackgrounds(cairo_t* cr, double x, double y, double y0,
                                       double y1) const {
    for (const Style& style : styles_) {
        const CharFormat& f = formats_[style.format];
        if (f.autoBackground) {
            continue;
        }
        bool any = false;
        for (const Band& band : Ranges(style.start, style.end)) {
            if (band.bottom < y0 || band.top > y1) {
                continue;
            }
            cairo_rectangle(cr, x + band.left, y + band.top, band.right - band.left,
                            band.bottom - band.top);
            any = true;
        }
        if (any) {
            cairo_set_source_rgb(cr, Channel(f.background, 16), Channel(f.background, 8),
                                 Channel(f.background, 0));
            cairo_fill(cr);
        }
    }
}

CaretBox CParagraphLayout::Caret(std::size_t offset) const {
    const Line& line = LineOf(std::min(offset, Length()));
    const std::vector<int> advances = Advances(line);
    const int x = XOf(line, Pieces(line, advances), advances, std::min(offset, Length()));
    return {FromPango(x) + indent_, FromPango(line.top), FromPango(line.ascent + line.descent)};
}

std::size_t CParagraphLayout::HitTest(double x, double y) const {
    const std::size_t index = LineIndexAt(std::max(0.0, y));
    const Line& line = lines_[index];
    const bool last = index + 1 == lines_.size();
    const std::vector<int> advances = Advances(line);
    const std::vector<Piece> pieces = Pieces(line, advances);
    const int target = ToPango(x - indent_);
    // The nearest cursor position; a wrapped line's end is the next line's start, so its
    // own positions stop before its last character.
    const std::size_t end = last ? std::min(line.end, Length()) : line.end - 1;
    std::size_t best = line.start;
    int bestDistance = INT_MAX;
    for (std::size_t c = line.start; c <= end; ++c) {
        if (!IsCursorPosition(c)) {
            continue;
        }
        const int distance = std::abs(XOf(line, pieces, advances, c) - target);
        if (distance < bestDistance) {
            best = c;
            bestDistance = distance;
        }
    }
    return std::min(best, Length());
}

std::vector<CParagraphLayout::Band> CParagraphLayout::Ranges(std::size_t start,
                                                             std::size_t end) const {
    std::vector<Band> out;
    for (const Line& line : lines_) {
        const std::size_t a = std::max(start, line.start);
        const std::size_t b = std::min(end, line.end);
        if (a >= b) {
            continue;
        }
        const std::vector<int> advances = Advances(line);
        const double top = FromPango(line.top);
        const double bottom = FromPango(line.top + line.ascent + line.descent);
        for (const Piece& p : Pieces(line, advances)) {
            const std::size_t pa = std::max(a, p.start);
            const std::size_t pb = std::min(b, p.end);
            if (pa >= pb) {
                continue;
            }
            int left = 0;
            int right = 0;
            for (std::size_t c = p.start; c < pb; ++c) {
                (c < pa ? left : right) += advances[c - line.start];
            }
            right += left;
            if (p.run->level % 2) {
                std::tie(left, right) = std::make_pair(p.width - right, p.width - left);
            }
            out.push_back(
                {FromPango(p.x + left) + indent_, FromPango(p.x + right) + indent_, top, bottom});
        }
    }
    return out;
}

std::pair<std::size_t, std::size_t> CParagraphLayout::LineAt(std::size_t offset) const {
    const Line& line = LineOf(std::min(offset, Length()));
    std::size_t end = line.end;
    if (end > line.start && IsLineSeparator(end - 1)) {
        --end;
    }
    return {line.start, std::min(end, Length())};
}

std::vector<std::size_t> CParagraphLayout::LineStarts() const {
    std::vector<std::size_t> starts;
    for (const Line& line : lines_) {
        starts.push_back(line.start);
    }
    return starts;
}

const PangoLogAttr& CParagraphLayout::Attr(std::size_t offset) const {
    return attrs_[std::min(offset, attrs_.size() - 1)];
}

bool CParagraphLayout::IsCursorPosition(std::size_t offset) const {
    return offset >= Length() || Attr(offset).is_cursor_position;
}

bool CParagraphLayout::IsWordStart(std::size_t offset) const {
    return Attr(offset).is_word_start;
}

bool CParagraphLayout::IsWordEnd(std::size_t offset) const {
    return Attr(offset).is_word_end;
}

} // namespace richtext
