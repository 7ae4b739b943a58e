// The real quarn-render, driven by CRenderProcess, over pages served on 127.0.0.1: it
// must see the files that only scripts ask for, and give the document as the scripts left
// it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "engine/render_process.h"
#include "support/site_server.h"

using namespace std::chrono_literals;

namespace {
constexpr auto kLimit = 20s;

const char kScriptedPage[] = R"(<!DOCTYPE html>
<html><head><title>Scripted</title></head><body>
<ul id="list"></ul>
<div style="height: 6000px">tall</div>
<img id="far" data-src="img/far.png" alt="">
<script>
var s = document.createElement('script');
s.src = 'search' + 'index.js';
document.head.appendChild(s);
fetch('data/list.json').then(function (r) { return r.json(); }).then(function (items) {
  items.forEach(function (text) {
    var li = document.createElement('li');
    li.textContent = text;
    document.getElementById('list').appendChild(li);
  });
});
new IntersectionObserver(function (entries, observer) {
  entries.forEach(function (e) {
    if (e.isIntersecting) { e.target.src = e.target.dataset.src; observer.disconnect(); }
  });
}).observe(document.getElementById('far'));
new Worker('js/work' + 'er.js');
</script>
<script type="module" src="js/main.mjs"></script>
</body></html>
)";

// Dialogs that would wait for a person, and a move to another page.
const char kRestlessPage[] = R"(<!DOCTYPE html>
<html><body><p id="state">before</p>
<script>
alert('hello');
confirm('sure?');
prompt('name?');
document.getElementById('state').textContent = 'after dialogs';
setTimeout(function () { location.href = 'elsewhere.html'; }, 10);
</script>
</body></html>
)";

bool Has(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string Listed(const std::vector<std::string>& list) {
    std::string text;
    for (const auto& item : list)
        text += "  " + item + "\n";
    return text;
}

class RenderPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        using Page = SiteServer::Page;
        m_site.AddHtml("/scripted.html", kScriptedPage);
        m_site.AddHtml("/restless.html", kRestlessPage);
        m_site.AddHtml("/elsewhere.html", "<p>elsewhere</p>");
        m_site.Add("/searchindex.js", Page("var searchIndex = {};", "text/javascript"));
        m_site.Add("/data/list.json", Page(R"(["first item", "second item"])", "application/json"));
        m_site.Add("/img/far.png", Page("not really a picture", "image/png"));
        m_site.Add("/js/main.mjs", Page("import { f } from './util.mjs'; f();", "text/javascript"));
        m_site.Add("/js/util.mjs", Page("export function f() {}", "text/javascript"));
        m_site.Add("/js/worker.js", Page("importScripts('helper.js');", "text/javascript"));
        m_site.Add("/js/helper.js", Page("var helped = true;", "text/javascript"));
        m_site.Start();
    }

    SiteServer m_site;
    CRenderProcess m_renderer{QUARN_RENDER_PATH};
};
} // namespace

TEST_F(RenderPageTest, FindsWhatOnlyScriptsAskForAndGivesTheFilledDocument) {
    const std::string page = m_site.Url("/scripted.html");
    const CRenderedPage rendered = m_renderer.Render(page, kLimit, true);
    ASSERT_TRUE(rendered.failure.empty()) << rendered.failure;
    EXPECT_FALSE(rendered.cutAtLimit);

    const auto& asked = rendered.requests;
    for (const char* path : {"/searchindex.js", "/data/list.json", "/img/far.png", "/js/main.mjs",
                             "/js/util.mjs", "/js/worker.js", "/js/helper.js"})
        EXPECT_TRUE(Has(asked, m_site.Url(path))) << path << " not among\n" << Listed(asked);
    EXPECT_FALSE(Has(asked, page));
    EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).size(), asked.size());

    EXPECT_EQ(rendered.document.rfind("<!DOCTYPE html>", 0), 0u) << rendered.document;
    EXPECT_NE(rendered.document.find("<li>first item</li><li>second item</li>"), std::string::npos)
        << rendered.document;
}

TEST_F(RenderPageTest, DialogsDoNotBlockAndMovesAwayAreRecordedNotFollowed) {
    // A page before it, so the second runs in a helper that has rendered already.
    const CRenderedPage first = m_renderer.Render(m_site.Url("/scripted.html"), kLimit, false);
    ASSERT_TRUE(first.failure.empty()) << first.failure;

    const CRenderedPage rendered = m_renderer.Render(m_site.Url("/restless.html"), kLimit, true);
    ASSERT_TRUE(rendered.failure.empty()) << rendered.failure;
    EXPECT_FALSE(rendered.cutAtLimit);
    EXPECT_TRUE(Has(rendered.requests, m_site.Url("/elsewhere.html"))) << Listed(rendered.requests);
    EXPECT_FALSE(Has(rendered.requests, m_site.Url("/searchindex.js")))
        << "the first page's requests leaked into the second's";
    EXPECT_EQ(m_site.Count("GET /elsewhere.html"), 0);
    EXPECT_NE(rendered.document.find("after dialogs"), std::string::npos) << rendered.document;
}
