// The two tables a copy with exact names keeps beside its files: which name each address
// holds, and which addresses each stored page links.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "model/link_index.h"
#include "model/name_table.h"
#include "support/temp_dir.h"

namespace {

// Candidates as the naming gives them: the plain name, then "stem~n.ext".
NameMaker Names(std::string stem, std::string extension = ".html") {
    return [stem, extension](int unique) {
        return unique == 0 ? stem + extension : stem + "~" + std::to_string(unique) + extension;
    };
}

std::uint64_t Key(std::string_view key) {
    return CNameTable::KeyHash(key);
}

} // namespace

// Two addresses whose plain names collide never share a file, a rename keeps the old name
// readable until it is forgotten, and a redirect makes links lead elsewhere.
TEST(NameTable, NamesStayDistinctAndFormerNamesStayReadableUntilForgotten) {
    TempDir dir;
    const auto file = dir.path() / kNameTableFile;
    {
        CNameTable table;
        table.Open(file);
        EXPECT_EQ(table.Reserve("h/x", "http://h/x", Names("x")), "x.html");
        // "/x.html" wants the same name: it gets a distinct one.
        EXPECT_EQ(table.Reserve("h/x.html", "http://h/x.html", Names("x")), "x~2.html");
        // A second reservation keeps the first name, whatever it is offered.
        EXPECT_EQ(table.Reserve("h/x", "http://h/x", Names("other")), "x.html");
        // The answer was plain text: the name changes, the old one still leads back.
        const std::uint64_t beforeRename = table.Epoch();
        EXPECT_EQ(table.Rename("h/x", "http://h/x", Names("x", "")), "x");
        EXPECT_TRUE(table.NeedsMending(Key("h/x"), false, beforeRename));
        // Links written after the rename used the new name already.
        EXPECT_FALSE(table.NeedsMending(Key("h/x"), false, table.Epoch()));
        EXPECT_FALSE(table.NeedsMending(Key("h/x.html"), false));
        EXPECT_EQ(table.UrlOfName("x.html"), "http://h/x");
        EXPECT_EQ(table.UrlOfName("x"), "http://h/x");
        // An answer that agrees with the name keeps it, also a distinct one.
        EXPECT_EQ(table.Rename("h/x.html", "http://h/x.html", Names("x")), "x~2.html");
        EXPECT_FALSE(table.NeedsMending(Key("h/x.html"), false));
        table.MarkStored("h/x.html");
        table.SetRedirect("h/old", "http://h/old", Key("h/x.html"));
        ASSERT_FALSE(table.Close(false));
    }
    CNameTable table;
    table.Open(file);
    EXPECT_EQ(table.UrlOfName("x.html"), "http://h/x");
    // A rename of an earlier crawl counts against the pages that crawl indexed.
    EXPECT_TRUE(table.NeedsMending(Key("h/x"), false, 0));
    EXPECT_FALSE(table.NeedsMending(Key("h/x"), false, table.Epoch()));
    EXPECT_TRUE(table.IsStored(Key("h/x.html")));
    EXPECT_FALSE(table.IsStored(Key("h/x")));
    ASSERT_TRUE(table.Find(Key("h/old")));
    EXPECT_EQ(table.Find(Key("h/old"))->redirect, Key("h/x.html"));
    EXPECT_EQ(table.Find(Key("h/old"))->url, "http://h/old");
    // A new address still cannot take a former name.
    EXPECT_EQ(table.Reserve("h/y", "http://h/y", Names("x")), "x~3.html");
    ASSERT_FALSE(table.Close(true));

    CNameTable forgotten;
    forgotten.Open(file);
    EXPECT_FALSE(forgotten.UrlOfName("x.html"));
    EXPECT_FALSE(forgotten.NeedsMending(Key("h/x"), false));
    EXPECT_EQ(forgotten.Find(Key("h/x"))->name, "x");
    EXPECT_EQ(forgotten.Find(Key("h/y"))->name, "x~3.html");
    EXPECT_EQ(forgotten.Find(Key("h/x.html"))->name, "x~2.html");
}

// What a crawl named is in the file once flushed, so a crash loses none of it; a line cut
// in half, and bytes that would break a line, do no harm.
TEST(NameTable, SurvivesACrashAndOddBytes) {
    TempDir dir;
    const auto file = dir.path() / kNameTableFile;
    const std::string odd = "a\tb\nc%d\r";
    {
        CNameTable table;
        table.Open(file);
        table.Reserve("k1", "http://h/" + odd, Names(odd, ""));
        table.Reserve("k2", "http://h/two", Names("two"));
        table.MarkStored("k1");
        // As before a page is stored; then the process died, with no Close.
        table.Flush();
        std::ofstream(file, std::ios::app) << "N\t12ab\tcut-in-ha";
        CNameTable reread;
        reread.Open(file);
        ASSERT_TRUE(reread.Find(Key("k1")));
        EXPECT_EQ(reread.Find(Key("k1"))->name, odd);
        EXPECT_EQ(reread.Find(Key("k1"))->url, "http://h/" + odd);
        EXPECT_TRUE(reread.IsStored(Key("k1")));
        EXPECT_EQ(reread.Find(Key("k2"))->name, "two.html");
        EXPECT_FALSE(reread.Find(0x12ab)); // the line cut in half
        reread.Close(false);
    }
    // An empty candidate is no name: nothing is reserved.
    CNameTable table;
    table.Open(file);
    EXPECT_EQ(table.Reserve("k3", "http://h/3", [](int) { return std::string(); }), "");
    EXPECT_FALSE(table.Find(Key("k3")));
}

// Workers naming at once addresses whose plain names collide never give one name to two
// addresses, and the file they append to reads back as the same names.
TEST(NameTable, WorkersNamingAtOnceNeverShareAName) {
    TempDir dir;
    const auto file = dir.path() / kNameTableFile;
    constexpr int kThreads = 8;
    constexpr int kAddresses = 120;
    constexpr int kStems = 2;
    // Steps prime to kAddresses: each worker goes through every address, in an order of
    // its own.
    constexpr int kSteps[kThreads] = {1, 7, 11, 13, 17, 19, 23, 29};
    CNameTable table;
    table.Open(file);
    // Each worker names addresses of its own, and the shared ones.
    const auto own = [](int thread, int i) {
        return "h/" + std::to_string(thread) + "/" + std::to_string(i);
    };
    const auto shared = [](int i) { return "h/shared/" + std::to_string(i); };
    std::vector<std::vector<std::string>> sharedNames(kThreads);
    {
        std::vector<std::thread> workers;
        std::latch start(kThreads);
        for (int thread = 0; thread < kThreads; ++thread) {
            workers.emplace_back([&, thread] {
                start.arrive_and_wait();
                for (int i = 0; i < kAddresses; ++i) {
                    const int at = i * kSteps[thread] % kAddresses;
                    const std::string stem = "p" + std::to_string(at % kStems);
                    table.Reserve(own(thread, at), "http://" + own(thread, at), Names(stem));
                    sharedNames[thread].push_back(
                        table.Reserve(shared(at), "http://" + shared(at), Names(stem)));
                }
            });
        }
        for (std::thread& worker : workers)
            worker.join();
    }
    table.Flush();
    std::vector<std::string> keys;
    for (int i = 0; i < kAddresses; ++i) {
        keys.push_back(shared(i));
        for (int thread = 0; thread < kThreads; ++thread)
            keys.push_back(own(thread, i));
    }
    std::set<std::string> names;
    for (const std::string& key : keys) {
        const auto named = table.Find(Key(key));
        ASSERT_TRUE(named) << key;
        EXPECT_TRUE(names.insert(named->name).second) << named->name << " given twice";
        EXPECT_EQ(table.UrlOfName(named->name), "http://" + key);
    }
    // Read back, the file gives each address the same name: no line was skipped for a
    // name another address held.
    CNameTable reread;
    reread.Open(file, true);
    for (const std::string& key : keys) {
        const auto again = reread.Find(Key(key));
        EXPECT_TRUE(again && again->name == table.Find(Key(key))->name) << key;
    }
    // An address named by several workers got one name, whoever came first.
    for (int thread = 0; thread < kThreads; ++thread) {
        for (int i = 0; i < kAddresses; ++i) {
            const int at = i * kSteps[thread] % kAddresses;
            EXPECT_EQ(sharedNames[thread][i], table.Find(Key(shared(at)))->name);
        }
    }
}

// The latest links of each page come back, after a reopen too, and a cut last line is
// skipped without losing the next page put.
TEST(LinkIndex, KeepsTheLatestLinksOfEachPageAcrossCrawls) {
    TempDir dir;
    const auto file = dir.path() / kLinkIndexFile;
    const std::vector<CIndexedLink> first = {{1, false}, {2, true}};
    const std::vector<CIndexedLink> second = {{3, false}};
    {
        CLinkIndex index;
        index.Open(file);
        index.Put(10, first);
        index.Put(11, first);
        index.Put(10, second);
        index.Put(12, {});
        ASSERT_FALSE(index.Close());
    }
    std::ofstream(file, std::ios::app) << "ff 1 2";
    CLinkIndex index;
    index.Open(file);
    index.Put(13, first, 7);
    std::vector<std::pair<std::uint64_t, std::vector<CIndexedLink>>> seen;
    index.ForEachPage(
        [&](std::uint64_t page, std::uint64_t written, std::span<const CIndexedLink> links) {
            // Pages an earlier crawl indexed count as written before every rename.
            EXPECT_EQ(written, page == 13 ? 7u : 0u) << page;
            seen.emplace_back(page, std::vector<CIndexedLink>(links.begin(), links.end()));
        });
    ASSERT_EQ(seen.size(), 4u);
    std::sort(seen.begin(), seen.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    EXPECT_EQ(seen[0], std::make_pair(std::uint64_t{10}, second));
    EXPECT_EQ(seen[1], std::make_pair(std::uint64_t{11}, first));
    EXPECT_EQ(seen[2].first, 12u);
    EXPECT_TRUE(seen[2].second.empty());
    EXPECT_EQ(seen[3], std::make_pair(std::uint64_t{13}, first));
    ASSERT_FALSE(index.Close());
    std::ifstream in(file);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
}
