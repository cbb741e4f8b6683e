#include "richtext/Document.h"

#include <algorithm>

namespace richtext {

std::size_t CDocument::FormatHash::operator()(const CharFormat& f) const {
    std::size_t h = std::hash<std::string>{}(f.face);
    const auto mix = [&h](std::size_t v) { h ^= v + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2); };
    mix(static_cast<std::size_t>(f.heightTwips));
    mix((f.bold ? 1u : 0u) | (f.italic ? 2u : 0u) | (f.underline ? 4u : 0u) |
        (f.strikeout ? 8u : 0u) | (f.autoColor ? 16u : 0u) | (f.autoBackground ? 32u : 0u));
    mix(f.color);
    mix(f.background);
    mix(static_cast<std::size_t>(f.charset));
    return h;
}

CDocument::CDocument(const CharFormat& format, Alignment alignment) {
    paragraphs_.emplace_back();
    paragraphs_.back().endFormat = Intern(format);
    paragraphs_.back().alignment = alignment;
}

CDocument CDocument::FromPlainText(std::u32string_view text, const CharFormat& format,
                                   Alignment alignment) {
    CDocument doc(format, alignment);
    const std::uint32_t id = doc.paragraphs_.back().endFormat;
    std::u32string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            doc.Append(line, id);
            line.clear();
            doc.NewParagraph();
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') {
                ++i;
            }
        } else if (c >= 0x20 || c == U'\t' || c == kLineBreak) {
            line += c; // other control characters are not text
        }
    }
    doc.Append(line, id);
    return doc;
}

bool CDocument::SameContent(const CDocument& other) const {
    if (paragraphs_.size() != other.paragraphs_.size()) {
        return false;
    }
    for (std::size_t i = 0; i < paragraphs_.size(); ++i) {
        const Paragraph& a = paragraphs_[i];
        const Paragraph& b = other.paragraphs_[i];
        if (a.text != b.text || a.alignment != b.alignment || a.runs.size() != b.runs.size()) {
            return false;
        }
        for (std::size_t k = 0; k < a.runs.size(); ++k) {
            if (a.runs[k].length != b.runs[k].length ||
                !(formats_[a.runs[k].format] == other.formats_[b.runs[k].format])) {
                return false;
            }
        }
    }
    return true;
}

std::uint32_t CDocument::Intern(const CharFormat& format) {
    auto found = formatIds_.find(format);
    if (found != formatIds_.end()) {
        return found->second;
    }
    const auto id = static_cast<std::uint32_t>(formats_.size());
    formats_.push_back(format);
    formatIds_.emplace(format, id);
    return id;
}

std::size_t CDocument::Length() const {
    std::size_t n = paragraphs_.size() - 1;
    for (const Paragraph& p : paragraphs_) {
        n += p.text.size();
    }
    return n;
}

Location CDocument::Locate(std::size_t position) const {
    for (std::size_t i = 0; i < paragraphs_.size(); ++i) {
        const std::size_t len = paragraphs_[i].text.size();
        if (position <= len) {
            return {i, position};
        }
        position -= len + 1;
    }
    return {paragraphs_.size() - 1, paragraphs_.back().text.size()};
}

std::size_t CDocument::StartOf(std::size_t paragraph) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < paragraph && i < paragraphs_.size(); ++i) {
        pos += paragraphs_[i].text.size() + 1;
    }
    return pos;
}

namespace {

// The format of the character at `offset` of a non-empty paragraph.
std::uint32_t FormatOfChar(const Paragraph& p, std::size_t offset) {
    std::size_t at = 0;
    for (const Run& r : p.runs) {
        if (offset < at + r.length) {
            return r.format;
        }
        at += r.length;
    }
    return p.runs.empty() ? p.endFormat : p.runs.back().format;
}

} // namespace

std::uint32_t CDocument::FormatAt(std::size_t position) const {
    const Location loc = Locate(position);
    const Paragraph& p = paragraphs_[loc.paragraph];
    if (p.text.empty()) {
        return p.endFormat;
    }
    return FormatOfChar(p, loc.offset > 0 ? loc.offset - 1 : 0);
}

bool CDocument::AllHave(std::size_t start, std::size_t end, bool CharFormat::*property) const {
    if (start >= end) {
        return formats_[FormatAt(start)].*property;
    }
    const Location a = Locate(start);
    const Location b = Locate(end);
    for (std::size_t i = a.paragraph; i <= b.paragraph; ++i) {
        const Paragraph& p = paragraphs_[i];
        const std::size_t from = i == a.paragraph ? a.offset : 0;
        const std::size_t to = i == b.paragraph ? b.offset : p.text.size();
        std::size_t at = 0;
        for (const Run& r : p.runs) {
            if (at + r.length > from && at < to && !(formats_[r.format].*property)) {
                return false;
            }
            at += r.length;
        }
    }
    return true;
}

std::u32string CDocument::Text(std::size_t start, std::size_t end) const {
    std::u32string out;
    if (start >= end) {
        return out;
    }
    const Location a = Locate(start);
    const Location b = Locate(end);
    for (std::size_t i = a.paragraph; i <= b.paragraph; ++i) {
        const std::u32string& text = paragraphs_[i].text;
        const std::size_t from = i == a.paragraph ? a.offset : 0;
        const std::size_t to = i == b.paragraph ? b.offset : text.size();
        for (std::size_t k = from; k < to; ++k) {
            out += text[k] == kLineBreak ? U'\n' : text[k];
        }
        if (i != b.paragraph) {
            out += U'\n';
        }
    }
    return out;
}

void CDocument::Normalize(Paragraph& p) {
    std::vector<Run> merged;
    merged.reserve(p.runs.size());
    for (const Run& r : p.runs) {
        if (r.length == 0) {
            continue;
        }
        if (!merged.empty() && merged.back().format == r.format) {
            merged.back().length += r.length;
        } else {
            merged.push_back(r);
        }
    }
    p.runs = std::move(merged);
}

void CDocument::AppendSlice(Paragraph& target, const CDocument& source, const Paragraph& from,
                            std::size_t begin, std::size_t end, std::vector<std::int64_t>& map) {
    if (begin >= end) {
        return;
    }
    const auto mapped = [&](std::uint32_t id) {
        if (&source == this) {
            return id;
        }
        if (map[id] < 0) {
            map[id] = Intern(source.formats_[id]);
        }
        return static_cast<std::uint32_t>(map[id]);
    };
    target.text.append(from.text, begin, end - begin);
    std::size_t at = 0;
    for (const Run& r : from.runs) {
        const std::size_t lo = std::max(at, begin);
        const std::size_t hi = std::min<std::size_t>(at + r.length, end);
        if (lo < hi) {
            const std::uint32_t id = mapped(r.format);
            if (!target.runs.empty() && target.runs.back().format == id) {
                target.runs.back().length += static_cast<std::uint32_t>(hi - lo);
            } else {
                target.runs.push_back({static_cast<std::uint32_t>(hi - lo), id});
            }
        }
        at += r.length;
        if (at >= end) {
            break;
        }
    }
}

CDocument CDocument::Extract(std::size_t start, std::size_t end) const {
    const Location a = Locate(start);
    const Location b = Locate(std::max(start, end));
    CDocument out(formats_[paragraphs_[a.paragraph].endFormat]);
    out.paragraphs_.clear();
    std::vector<std::int64_t> map(formats_.size(), -1);
    for (std::size_t i = a.paragraph; i <= b.paragraph; ++i) {
        const Paragraph& p = paragraphs_[i];
        Paragraph slice;
        if (map[p.endFormat] < 0) {
            map[p.endFormat] = out.Intern(formats_[p.endFormat]);
        }
        slice.endFormat = static_cast<std::uint32_t>(map[p.endFormat]);
        slice.alignment = p.alignment;
        out.AppendSlice(slice, *this, p, i == a.paragraph ? a.offset : 0,
                        i == b.paragraph ? b.offset : p.text.size(), map);
        out.paragraphs_.push_back(std::move(slice));
    }
    return out;
}

Change CDocument::Replace(std::size_t start, std::size_t end, const CDocument& fragment) {
    if (end < start) {
        std::swap(start, end);
    }
    const Location a = Locate(start);
    const Location b = Locate(end);
    const Paragraph& first = paragraphs_[a.paragraph];
    const Paragraph& last = paragraphs_[b.paragraph];
    std::vector<std::int64_t> map(fragment.formats_.size(), -1);
    std::vector<std::int64_t> own(formats_.size(), -1);
    const auto mapId = [&](std::uint32_t id) {
        if (&fragment == this) {
            return id;
        }
        if (map[id] < 0) {
            map[id] = Intern(fragment.formats_[id]);
        }
        return static_cast<std::uint32_t>(map[id]);
    };

    const std::vector<Paragraph>& parts = fragment.paragraphs_;
    std::vector<Paragraph> made(parts.size());
    AppendSlice(made.front(), *this, first, 0, a.offset, own);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        AppendSlice(made[i], fragment, parts[i], 0, parts[i].text.size(), map);
        made[i].alignment = parts[i].alignment;
        made[i].endFormat = mapId(parts[i].endFormat);
    }
    Paragraph& tail = made.back();
    AppendSlice(tail, *this, last, b.offset, last.text.size(), own);
    tail.alignment = last.alignment;
    tail.endFormat = last.endFormat;
    for (Paragraph& p : made) {
        Normalize(p);
    }

    Change change{a.paragraph, b.paragraph - a.paragraph + 1, made.size(), std::nullopt};
    if (a.paragraph == b.paragraph && made.size() == 1) {
        change.span = EditSpan{a.offset, b.offset, a.offset + parts.front().text.size()};
    }
    auto at = paragraphs_.erase(paragraphs_.begin() + static_cast<std::ptrdiff_t>(a.paragraph),
                                paragraphs_.begin() + static_cast<std::ptrdiff_t>(b.paragraph + 1));
    paragraphs_.insert(at, std::make_move_iterator(made.begin()),
                       std::make_move_iterator(made.end()));
    return change;
}

Change CDocument::ReformatRange(std::size_t start, std::size_t end,
                                const std::function<std::uint32_t(std::uint32_t)>& remap) {
    if (end < start) {
        std::swap(start, end);
    }
    const Location a = Locate(start);
    const Location b = Locate(end);
    for (std::size_t i = a.paragraph; i <= b.paragraph; ++i) {
        Paragraph& p = paragraphs_[i];
        const std::size_t from = i == a.paragraph ? a.offset : 0;
        const std::size_t to = i == b.paragraph ? b.offset : p.text.size();
        std::vector<Run> runs;
        runs.reserve(p.runs.size() + 2);
        std::size_t at = 0;
        for (const Run& r : p.runs) {
            const std::size_t lo = std::max(at, from);
            const std::size_t hi = std::min<std::size_t>(at + r.length, to);
            if (lo >= hi) {
                runs.push_back(r);
            } else {
                runs.push_back({static_cast<std::uint32_t>(lo - at), r.format});
                runs.push_back({static_cast<std::uint32_t>(hi - lo), remap(r.format)});
                runs.push_back({static_cast<std::uint32_t>(at + r.length - hi), r.format});
            }
            at += r.length;
        }
        p.runs = std::move(runs);
        if (i < b.paragraph || p.text.empty()) {
            p.endFormat = remap(p.endFormat);
        }
        Normalize(p);
    }
    Change change{a.paragraph, b.paragraph - a.paragraph + 1, b.paragraph - a.paragraph + 1,
                  std::nullopt};
    if (a.paragraph == b.paragraph) {
        change.span = EditSpan{a.offset, b.offset, b.offset};
    }
    return change;
}

void CDocument::Append(std::u32string_view text, std::uint32_t format) {
    if (text.empty()) {
        return;
    }
    Paragraph& p = paragraphs_.back();
    p.text.append(text);
    if (!p.runs.empty() && p.runs.back().format == format) {
        p.runs.back().length += static_cast<std::uint32_t>(text.size());
    } else {
        p.runs.push_back({static_cast<std::uint32_t>(text.size()), format});
    }
}

void CDocument::NewParagraph() {
    Paragraph next;
    next.endFormat = paragraphs_.back().endFormat;
    next.alignment = paragraphs_.back().alignment;
    paragraphs_.push_back(std::move(next));
}

void CDocument::DropLastParagraph() {
    if (paragraphs_.size() > 1 && paragraphs_.back().text.empty()) {
        paragraphs_.pop_back();
    }
}

} // namespace richtext
