// links: plenvo_richtext
// The rich-text engine: RTF read and write throughput on 1 MB documents, and one keystroke
// handled, laid out and redrawn in a 5,000-character paragraph.
#include "richtext/RtfReader.h"
#include "richtext/RtfWriter.h"
#include "richtext/TextServices.h"

#include "gfx/OffscreenSurface.h"
#include "platform/Encoding.h"
#include "platform/Messages.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using namespace richtext;

// A lesson plan's kind of text: Chinese and Latin mixed, a format change every sentence or so,
// a paragraph every few hundred characters.
CDocument SampleDocument(std::size_t targetRtfBytes) {
    CharFormat base;
    CDocument doc(base);
    CharFormat bold = base;
    bold.bold = true;
    CharFormat red = base;
    red.autoColor = false;
    red.color = 0xC00000;
    CharFormat latin = base;
    latin.face = "Arial";
    latin.charset = 0;
    latin.italic = true;
    const std::uint32_t formats[] = {doc.Intern(base), doc.Intern(bold), doc.Intern(red),
                                     doc.Intern(latin)};
    const std::u32string pieces[] = {U"教学目标：理解课文的主要内容，", U"掌握生字词。",
                                     U" Students read aloud and discuss {ideas}. ",
                                     U"课堂练习与作业布置；"};
    std::size_t i = 0;
    while (CRtfWriter::Write(doc).size() < targetRtfBytes) {
        for (int k = 0; k < 400; ++k, ++i) {
            doc.Append(pieces[i % 4], formats[i % 4]);
            if (i % 12 == 11) {
                doc.NewParagraph();
            }
        }
    }
    return doc;
}

const std::string& SampleRtf() {
    static const std::string rtf = CRtfWriter::Write(SampleDocument(1 << 20));
    return rtf;
}

void BM_RtfRead(benchmark::State& state) {
    const std::string& rtf = SampleRtf();
    for (auto _ : state) {
        CDocument doc = CRtfReader::Read(rtf, CharFormat{}, Alignment::Left);
        benchmark::DoNotOptimize(doc.Length());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_RtfRead)->Unit(benchmark::kMillisecond);

// What a teacher pastes from an office suite: a group per run with direction, script and
// associated properties, Chinese as code-page bytes, list numbers, highlighting.
const std::string& OfficeSuiteRtf() {
    static const std::string rtf = [] {
        std::string out =
            "{\\rtf1\\ansi\\ansicpg936\\uc1\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
            "Roman;}{\\f13\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}{\\f31506\\fswiss\\fcharset0 "
            "Calibri;}}{\\colortbl;\\red0\\green0\\blue0;\\red255\\green255\\blue0;}\n";
        const std::string paragraph =
            "\\pard\\plain \\ltrpar\\qj \\fi-420\\li420\\ls1\\rtlch\\fcs1 \\af0\\afs22 "
            "\\ltrch\\fcs0 "
            "\\fs21\\lang1033\\langfe2052\\kerning2\\loch\\af31506\\hich\\af31506\\dbch\\af13 "
            "{\\listtext\\pard\\plain\\ltrpar \\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 "
            "\\fs21\\hich\\af31506"
            "\\dbch\\af13\\loch\\f31506 1.\\tab}{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1 "
            "\\'bd\\'cc\\'d1\\'a7\\'c4\\'bf\\'b1\\'ea\\'a3\\'ba\\'c0\\'ed\\'bd\\'e2\\'bf\\'ce\\'"
            "ce\\'c4"
            "\\'b5\\'c4\\'d6\\'f7\\'d2\\'aa\\'c4\\'da\\'c8\\'dd}{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 "
            "\\insrsid1 \\hich\\af31506\\dbch\\af13\\loch\\f31506  Students read aloud and discuss "
            "their ideas. }{\\rtlch\\fcs1 \\ab\\af0 \\ltrch\\fcs0 \\b\\highlight2\\insrsid1 "
            "\\'d5\\'c6\\'ce\\'d5\\'c9\\'fa\\'d7\\'d6\\'b4\\'ca}{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 "
            "\\insrsid1 \\'a1\\'a3\\par }\n";
        while (out.size() < (1u << 20)) {
            out += paragraph;
        }
        return out + "}";
    }();
    return rtf;
}

void BM_RtfReadOfficeSuite(benchmark::State& state) {
    const std::string& rtf = OfficeSuiteRtf();
    for (auto _ : state) {
        CDocument doc = CRtfReader::Read(rtf, CharFormat{}, Alignment::Left);
        benchmark::DoNotOptimize(doc.Length());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
}
BENCHMARK(BM_RtfReadOfficeSuite)->Unit(benchmark::kMillisecond);

void BM_RtfWrite(benchmark::State& state) {
    const CDocument doc = CRtfReader::Read(SampleRtf(), CharFormat{}, Alignment::Left);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string rtf = CRtfWriter::Write(doc);
        bytes = rtf.size();
        benchmark::DoNotOptimize(rtf.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_RtfWrite)->Unit(benchmark::kMillisecond);

class BenchHost : public ITextHost {
public:
    // Remembers what the engine invalidated, as a window collects its update region.
    void TxInvalidateRect(const TxRect* rect) override {
        const TxRect r = rect != nullptr ? *rect : TxGetClientRect();
        dirty = gfx::RectF{r.left * 25.4 / 96, r.top * 25.4 / 96, r.Width() * 25.4 / 96,
                           r.Height() * 25.4 / 96};
    }
    gfx::RectF dirty;
    void TxViewChange() override {}
    bool TxCreateCaret(int, int) override { return true; }
    bool TxShowCaret(bool) override { return true; }
    bool TxSetCaretPos(int, int) override { return true; }
    bool TxSetTimer(platform::UINT, platform::UINT) override { return true; }
    void TxKillTimer(platform::UINT) override {}
    void TxSetCapture(bool) override {}
    void TxSetFocus() override {}
    TxRect TxGetClientRect() override { return {0, 0, 760, 1000}; }
    double TxGetResolution() override { return 96.0; }
    const CharFormat& TxGetCharFormat() override { return format; }
    const ParaFormat& TxGetParaFormat() override { return paragraph; }
    std::uint32_t TxGetPropertyBits(std::uint32_t mask) override {
        return (TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_WORDWRAP) & mask;
    }
    std::int32_t TxGetMaxLength() override { return -1; }
    char32_t TxGetPasswordChar() override { return U'*'; }
    void TxNotify(platform::UINT, void*) override {}

    CharFormat format;
    ParaFormat paragraph;
};

// Type a character (or take it back with Backspace), then lay out and redraw what the engine
// invalidated, as the window does on every key.
void BM_KeystrokeIn5000CharParagraph(benchmark::State& state) {
    BenchHost host;
    auto text = CreateTextServices(host);
    std::string paragraph;
    while (platform::CountCodePoints(paragraph) < 5000) {
        paragraph += "教学过程中, students practise 课文朗读 and ask questions. ";
    }
    text->TxSetText("标题\n" + paragraph + "\n结束");
    text->OnTxInPlaceActivate();
    text->TxSendMessage(platform::WM_SETFOCUS, 0, 0, nullptr);
    text->SetSelection(2500, 2500);
    gfx::OffscreenSurface surface(760, 1000, 96.0);
    const gfx::RectF bounds{0, 0, 760 * 25.4 / 96, 1000 * 25.4 / 96};
    text->TxDraw(surface.GetGraphics(), bounds, nullptr);

    std::vector<double> times;
    const auto layoutsBefore = text->LayoutBuildCount();
    bool type = true;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (type) {
            text->TxSendMessage(platform::WM_CHAR, u'字', 0, nullptr);
        } else {
            text->TxSendMessage(platform::WM_KEYDOWN, platform::VK_BACK, 0, nullptr);
        }
        text->TxDraw(surface.GetGraphics(), bounds, &host.dirty);
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        type = !type;
    }
    std::sort(times.begin(), times.end());
    state.counters["p50_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    state.counters["layouts_per_key"] =
        static_cast<double>(text->LayoutBuildCount() - layoutsBefore) /
        static_cast<double>(state.iterations());
}
BENCHMARK(BM_KeystrokeIn5000CharParagraph)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// Letters typed near the start of 5,000 Chinese characters in one paragraph: now and then a
// letter pushes a character onto the next line, and with it the break of every line below.
void BM_TypingNearStartOf5000ChineseChars(benchmark::State& state) {
    BenchHost host;
    auto text = CreateTextServices(host);
    std::string paragraph;
    while (platform::CountCodePoints(paragraph) < 5000) {
        paragraph += "本节课通过观察实验和小组讨论让学生理解植物的光合作用过程";
    }
    text->TxSetText(paragraph);
    text->OnTxInPlaceActivate();
    text->TxSendMessage(platform::WM_SETFOCUS, 0, 0, nullptr);
    text->SetSelection(20, 20);
    gfx::OffscreenSurface surface(1000, 1000, 96.0);
    const gfx::RectF bounds{0, 0, 1000 * 25.4 / 96, 1000 * 25.4 / 96};
    text->TxDraw(surface.GetGraphics(), bounds, nullptr);

    std::vector<double> times;
    for (auto _ : state) {
        timespec a{}, b{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &a);
        text->TxSendMessage(platform::WM_CHAR, u'a', 0, nullptr);
        text->TxDraw(surface.GetGraphics(), bounds, &host.dirty);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &b);
        times.push_back((b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6);
    }
    std::sort(times.begin(), times.end());
    state.counters["cpu_p50_ms"] = times[times.size() / 2];
    state.counters["cpu_p90_ms"] = times[times.size() * 9 / 10];
    state.counters["cpu_p99_ms"] = times[std::min(times.size() - 1, times.size() * 99 / 100)];
}
BENCHMARK(BM_TypingNearStartOf5000ChineseChars)->Unit(benchmark::kMicrosecond)->Iterations(300);

} // namespace

BENCHMARK_MAIN();
