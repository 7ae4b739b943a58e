// Scanning and rewriting a large page. The scan must stay linear in the page size however
// many tags it replaces: the 1 MB and 10 MB pages should give the same bytes per second.

#include "engine/link_scanner.h"

#include <benchmark/benchmark.h>

#include <string>

#include "model/site.h"
#include "support/site_fixture.h"
#include "web/url.h"

namespace {

// Text, comments and scripts between tags that mostly change: admitted links (a thousand
// targets, so most are already known), refused links on other servers, and tags that
// only lose spaces.
std::string MakePage(std::size_t bytes) {
    std::string page = "<html><head><title>Bench</title></head><body>\n";
    page.reserve(bytes + 4096);
    for (int i = 0; page.size() < bytes; ++i) {
        const std::string n = std::to_string(i % 1000);
        page += "<p class = \"para\">Some text of paragraph ";
        page += std::to_string(i);
        page += " with a few words, a > sign and a = sign.</p>\n";
        page += "<a  href = \"/docs/chapter" + n + "/page.htm\">link</a> ";
        page += "<img src=\"../img/pic" + n + ".png\" alt=\"picture  " + n + "\">\n";
        page += "<a href=\"http://other" + n + ".example.com/x.htm\">away</a>";
        page += "<a href=\"mailto:me@example.com\">mail</a><br><b>bold</b>\n";
        if (i % 10 == 0) {
            page += "<!-- <a href=\"hidden.htm\"> -->";
            page += "<script>var s = '<a href=\"x.htm\">';</script>\n";
        }
    }
    page += "</body></html>\n";
    return page;
}

// Times scan over fresh copies of text; the copying is not counted.
template <typename Scan>
void TimeScans(benchmark::State& state, const std::string& text, Scan scan) {
    std::string buffer;
    for (auto _ : state) {
        state.PauseTiming();
        buffer = text;
        state.ResumeTiming();
        scan(buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// state.range(0): megabytes; state.range(1): whether the site fetches page requisites.
void BM_LinkScannerScanPage(benchmark::State& state) {
    SitesDirScope dir;
    CSite site("Bench");
    site.m_useServers = true;
    site.m_servers = "www.example.com=1";
    site.m_pageRequisites = state.range(1) != 0;
    site.CompilePatterns();
    const CUrl pageUrl(nullptr, "http://www.example.com/docs/intro/index.htm", kLinkFollowed);
    TimeScans(state, MakePage(static_cast<std::size_t>(state.range(0)) << 20),
              [&](std::string& buffer) { CLinkScanner(site, pageUrl).ScanPage(buffer); });
}
BENCHMARK(BM_LinkScannerScanPage)
    ->Args({1, 0})
    ->Args({10, 0})
    ->Args({1, 1})
    ->Args({10, 1})
    ->Unit(benchmark::kMillisecond);

// The same page read back from the copy on an update: its links are relative now, and
// each is resolved among the copy's files again. state.range(0): megabytes.
void BM_LinkScannerRescanPage(benchmark::State& state) {
    SitesDirScope dir;
    CSite site("Bench");
    site.m_useServers = true;
    site.m_servers = "www.example.com=1";
    site.CompilePatterns();
    const CUrl pageUrl(nullptr, "http://www.example.com/docs/intro/index.htm", kLinkFollowed);
    std::string stored = MakePage(static_cast<std::size_t>(state.range(0)) << 20);
    CLinkScanner(site, pageUrl).ScanPage(stored);
    TimeScans(state, stored, [&](std::string& buffer) {
        CLinkScanner(site, pageUrl, PageSource::LocalCopy).ScanPage(buffer);
    });
}
BENCHMARK(BM_LinkScannerRescanPage)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// A style sheet of rules, comments, strings and url() values, most already known.
std::string MakeStyleSheet(std::size_t bytes) {
    std::string css = "@import \"base.css\";\n@import url('theme.css') screen;\n";
    css.reserve(bytes + 1024);
    for (int i = 0; css.size() < bytes; ++i) {
        const std::string n = std::to_string(i % 500);
        css += ".item-" + std::to_string(i) + " > a:hover, .x" + n +
               "::after { color: #336699; margin: 0 1em; content: \"url(not-a-link)\"; }\n";
        css += ".bg" + n + " { background: url(../img/bg" + n + ".png) no-repeat 0 0 / cover; }\n";
        if (i % 10 == 0) {
            css += "/* url(commented.png) */ @font-face { font-family: F" + n +
                   "; src: url(\"../fonts/f" + n + ".woff2\") format(\"woff2\"), "
                   "url(data:font/woff;base64,d09GRgABAAAAAA) format(\"woff\"); }\n";
        }
    }
    return css;
}

void BM_LinkScannerScanStyleSheet(benchmark::State& state) {
    SitesDirScope dir;
    CSite site("Bench");
    site.m_pageRequisites = true;
    site.CompilePatterns();
    const CUrl sheetUrl(nullptr, "http://www.example.com/static/css/site.css", kLinkEmbedded);
    TimeScans(state, MakeStyleSheet(static_cast<std::size_t>(state.range(0)) << 20),
              [&](std::string& buffer) { CLinkScanner(site, sheetUrl).ScanStyleSheet(buffer); });
}
BENCHMARK(BM_LinkScannerScanStyleSheet)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

} // namespace
