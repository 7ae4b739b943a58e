// Saving and opening large projects. A project of 10,000 sites is about 13 MB; ten times
// the sites should cost about ten times the time.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "model/project.h"
#include "support/temp_dir.h"

namespace {
std::unique_ptr<CProject> MakeProject(int siteCount) {
    auto project = std::make_unique<CProject>();
    constexpr int kSitesPerGroup = 100;
    for (int i = 0; i < siteCount; ++i) {
        if (i % kSitesPerGroup == 0)
            project->AddGroup(std::make_unique<CSiteGroup>("Group " + std::to_string(i)));
        auto site = std::make_unique<CSite>("Site number " + std::to_string(i));
        const std::string host = "www.site-" + std::to_string(i) + ".example.com";
        site->m_url =
            "http://" + host + "/documentation/start/index.html?lang=en&v=" + std::to_string(i);
        site->m_contentDirectory = "/home/someone/Quarn sites/" + site->m_name;
        site->m_servers = host + "=1,cdn.example.com=1,*.static.example.net=0,images.example.org=1";
        site->m_directories = "/documentation/*=1,/private/*=0,/archive/20*=1,/tmp/*=0";
        site->m_files = "*.htm=1,*.html=1,*.css=1,*.js=1,*.png=1,*.gif=1,*.jpg=1,*.zip=0";
        site->m_userAgent = "Mozilla/5.0 (X11; Linux x86_64) Quarn/0.1 offline reader";
        site->m_id = "reader" + std::to_string(i);
        site->m_password = "not-a-real-password-" + std::to_string(i);
        site->m_useServers = site->m_useDirectory = site->m_useTypes = true;
        project->AddSite(std::move(site), *project->GetGroups().back());
    }
    return project;
}

void BM_ProjectSave(benchmark::State& state) {
    const auto project = MakeProject(static_cast<int>(state.range(0)));
    TempDir dir;
    const auto file = dir.path() / "project.xml";
    std::string error;
    for (auto _ : state) {
        if (!project->SaveAs(file, error))
            state.SkipWithError(error.c_str());
    }
    state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(file));
    state.counters["file_MB"] = std::filesystem::file_size(file) / 1e6;
}

void BM_ProjectOpen(benchmark::State& state) {
    TempDir dir;
    const auto file = dir.path() / "project.xml";
    std::string error;
    MakeProject(static_cast<int>(state.range(0)))->SaveAs(file, error);
    for (auto _ : state) {
        CProject project;
        if (!project.Open(file, error))
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(project.GetGroups().data());
    }
    state.SetBytesProcessed(state.iterations() * std::filesystem::file_size(file));
    state.counters["file_MB"] = std::filesystem::file_size(file) / 1e6;
}

// Damaged files must be refused as fast as whole ones load: a file of 40,000 sites cut
// before its last end tag, and DATA with the argument's number of nested elements.
void RefuseFile(benchmark::State& state, const std::string& text) {
    TempDir dir;
    const auto file = dir.path() / "damaged.xml";
    std::ofstream(file, std::ios::binary) << text;
    std::string error;
    for (auto _ : state) {
        CProject project;
        if (project.Open(file, error))
            state.SkipWithError("a damaged file loaded");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
    state.counters["file_MB"] = text.size() / 1e6;
}

void BM_ProjectOpenCut(benchmark::State& state) {
    TempDir dir;
    const auto file = dir.path() / "project.xml";
    std::string error;
    MakeProject(static_cast<int>(state.range(0)))->SaveAs(file, error);
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.resize(text.rfind("</DATA>"));
    RefuseFile(state, text);
}

void BM_ProjectOpenNested(benchmark::State& state) {
    std::string text = "<DATA>";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        text += "<SITE>";
    for (std::int64_t i = 0; i < state.range(0); ++i)
        text += "</SITE>";
    text += "</DATA>";
    RefuseFile(state, text);
}
} // namespace

BENCHMARK(BM_ProjectSave)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ProjectOpen)
    ->Arg(10'000)
    ->Arg(40'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_ProjectOpenCut)->Arg(40'000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ProjectOpenNested)->Arg(100'000)->Unit(benchmark::kMillisecond)->Iterations(3);
