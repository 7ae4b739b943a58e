// Reading and writing element trees shaped like a project file: one DATA, groups of 100
// sites, 32 settings per site. The argument is the number of sites.

#include "model/xml_document.h"
#include "model/xml_element.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

namespace {

std::unique_ptr<CXMLElement> MakeProjectTree(int sites) {
    static const char* const kKeys[] = {"CONNECTION_TIMEOUT",
                                        "CONTENT_DIRECTORY",
                                        "DEFAULT_DOCUMENT",
                                        "DIRECTORIES",
                                        "DOWNLOAD_CHANGES",
                                        "FILE_MAX",
                                        "FILE_MIN",
                                        "FILES",
                                        "ID",
                                        "INCLUDE_DIRECTORIES",
                                        "INCLUDE_FILES",
                                        "INCLUDE_SERVERS",
                                        "LEVELS",
                                        "NAME",
                                        "NEW",
                                        "WORKERS",
                                        "PASSWORD",
                                        "REMOVE_LINKS",
                                        "REQUEST_TIMEOUT",
                                        "RETRIES",
                                        "SERVERS",
                                        "SPACE_MAX",
                                        "TIME_MAX",
                                        "URL",
                                        "USE_DIRECTORY",
                                        "USE_LEVELS",
                                        "USE_SERVERS",
                                        "USE_SIZES",
                                        "USE_SPACE",
                                        "USE_TIME",
                                        "USE_TYPES",
                                        "USER_AGENT"};
    auto data = std::make_unique<CXMLElement>("DATA", "");
    CXMLElement* group = nullptr;
    for (int i = 0; i < sites; ++i) {
        if (i % 100 == 0) {
            group = data->AddChild(std::make_unique<CXMLElement>("GROUP", ""));
            group->AddChild(std::make_unique<CXMLElement>("EXPANDED", "TRUE"));
            group->AddChild(std::make_unique<CXMLElement>("NAME", "Group " + std::to_string(i)));
        }
        CXMLElement* site = group->AddChild(std::make_unique<CXMLElement>("SITE", ""));
        for (const char* key : kKeys) {
            std::string value = "Value " + std::to_string(i) + " of a typical length";
            site->AddChild(std::make_unique<CXMLElement>(key, std::move(value)));
        }
    }
    return data;
}

std::string WriteToText(const CXMLElement& element) {
    std::ostringstream out;
    CXMLDocument::WriteXML(element, out);
    return out.str();
}

void BM_ParseXMLText(benchmark::State& state) {
    const std::string text = WriteToText(*MakeProjectTree(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        std::unique_ptr<CXMLElement> data = CXMLDocument::ParseXMLText(text);
        benchmark::DoNotOptimize(data.get());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ParseXMLText)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Counts the bytes and drops them, so the figure is the writer's own and not the growth
// of an in-memory string.
class CountingBuffer : public std::streambuf {
public:
    int64_t bytes = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize count) override {
        bytes += count;
        return count;
    }
};

void BM_WriteXML(benchmark::State& state) {
    const std::unique_ptr<CXMLElement> data = MakeProjectTree(static_cast<int>(state.range(0)));
    int64_t bytes = 0;
    for (auto _ : state) {
        CountingBuffer buffer;
        std::ostream out(&buffer);
        CXMLDocument::WriteXML(*data, out);
        bytes += buffer.bytes;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_WriteXML)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
