#pragma once
// A small site whose pages work only when their scripts can load what they name at run
// time: a search page that loads its index by a computed name, a list filled from a
// fetch() of JSON, an image set from script when scrolled into view, a module script that
// imports another, and a worker that imports a helper. Each page writes what worked into
// its #out element, so a rendered copy shows whether it works.

#include <string>

#include "support/site_server.h"

namespace script_site {

// A 1×1 PNG, so that the lazy image really decodes.
inline std::string TinyPng() {
    static const unsigned char bytes[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
        0x00, 0x90, 0x77, 0x53, 0xde, 0x00, 0x00, 0x00, 0x0c, 0x49, 0x44, 0x41, 0x54, 0x78,
        0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00, 0xc9, 0xfe, 0x92,
        0xef, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    return {reinterpret_cast<const char*>(bytes), sizeof bytes};
}

inline SiteServer::Page Script(std::string body) {
    return SiteServer::Page{std::move(body), "text/javascript"};
}

inline std::string PageWith(const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"></head><body>"
           "<div id=\"out\"></div>" +
           body + "</body></html>";
}

// The pages the start page links, in the order it links them.
inline const char* const kPages[] = {"search.html", "list.html", "lazy.html", "module.html",
                                     "worker.html"};

// The files only the pages' scripts ask for.
inline const char* const kScriptOnlyFiles[] = {"searchindex.js", "data/list.json",
                                               "img/late.png",   "js/util.mjs",
                                               "js/worker.js",   "js/helper.js"};

// What each page's #out holds once its scripts worked, in kPages's order.
inline const char* const kWorked[] = {"found 3", "alpha,beta", "late image shown", "module ok",
                                      "worker ok"};

inline void Add(SiteServer& server) {
    std::string links;
    for (const char* page : kPages)
        links += std::string("<a href=\"") + page + "\">" + page + "</a> ";
    server.Add("/index.html", SiteServer::Page{PageWith(links)});

    server.Add("/search.html", SiteServer::Page{PageWith(
                                   "<script src=\"searchtools.js\"></script>"
                                   "<script>runSearch('asyncio');</script>")});
    server.Add("/searchtools.js",
               Script("function runSearch(word) {\n"
                      "  const script = document.createElement('script');\n"
                      "  script.src = 'search' + 'index.js';\n"
                      "  script.onload = () => {\n"
                      "    const hits = Index.terms[word] || [];\n"
                      "    document.getElementById('out').textContent = 'found ' + hits.length;\n"
                      "  };\n"
                      "  document.head.appendChild(script);\n"
                      "}\n"));
    server.Add("/searchindex.js", Script("var Index = {terms: {asyncio: [1, 2, 3]}};\n"));

    server.Add("/list.html",
               SiteServer::Page{PageWith(
                   "<script>fetch('data/' + 'list.json').then(r => r.json()).then(items => {\n"
                   "  document.getElementById('out').textContent = items.join(',');\n"
                   "});</script>")});
    server.Add("/data/list.json", SiteServer::Page{"[\"alpha\", \"beta\"]", "application/json"});

    server.Add("/lazy.html",
               SiteServer::Page{PageWith(
                   "<div style=\"height:4000px\"></div>"
                   "<img id=\"late\" width=\"10\" height=\"10\">"
                   "<script>\n"
                   "const late = document.getElementById('late');\n"
                   "late.onload = () => {\n"
                   "  document.getElementById('out').textContent = 'late image shown';\n"
                   "};\n"
                   "addEventListener('scroll', () => {\n"
                   "  if (!late.src && late.getBoundingClientRect().top < innerHeight)\n"
                   "    late.src = 'img/' + 'late.png';\n"
                   "});\n"
                   "</script>")});
    server.Add("/img/late.png", SiteServer::Page{TinyPng(), "image/png"});

    server.Add("/module.html",
               SiteServer::Page{PageWith("<script type=\"module\" src=\"js/main.mjs\"></script>")});
    server.Add("/js/main.mjs",
               Script("import {word} from './util.mjs';\n"
                      "document.getElementById('out').textContent = 'module ' + word;\n"));
    server.Add("/js/util.mjs", Script("export const word = 'ok';\n"));

    server.Add("/worker.html",
               SiteServer::Page{PageWith(
                   "<script>const worker = new Worker('js/work' + 'er.js');\n"
                   "worker.onmessage = (event) => {\n"
                   "  document.getElementById('out').textContent = 'worker ' + event.data;\n"
                   "};</script>")});
    server.Add("/js/worker.js", Script("importScripts('helper.js');\npostMessage(helperWord);\n"));
    server.Add("/js/helper.js", Script("var helperWord = 'ok';\n"));
}

} // namespace script_site
