// Runs a fuzz target over its stored corpus and over generated inputs, so that the cases
// a fuzzer found stay fixed in every ordinary test run.
//
// Usage: replay CORPUS_DIR [generated-count]

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {
// With QUARN_FUZZ_LAST set, each input is written to that file before it runs, so that
// the one that aborts the replay is left there.
void Run(const std::string& input) {
    if (const char* last = std::getenv("QUARN_FUZZ_LAST"))
        std::ofstream(last, std::ios::binary | std::ios::trunc) << input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

// Inputs built from the pieces that matter to the parsers, so that random runs reach
// deep into them rather than stopping at the first byte.
std::string Generate(std::mt19937& random, const std::vector<std::string>& seeds) {
    static const std::vector<std::string> kPieces = {
        "http://",
        "https:",
        "//",
        "/",
        "\\",
        "..",
        ".",
        "../",
        "./",
        "?",
        "#",
        ";",
        ":",
        "@",
        "=",
        "%2e",
        "<",
        ">",
        "</",
        "<DATA>",
        "</DATA>",
        "<GROUP>",
        "</GROUP>",
        "<SITE>",
        "</SITE>",
        "<NAME>",
        "</NAME>",
        "<URL>",
        "</URL>",
        "h",
        "g",
        "//g/",
        "http://g:8080/",
        "index",
        "x.htm",
        "a",
        " ",
        "\n",
        "\t",
        "\r",
        std::string(1, '\0'),
        "\xff",
        "CON",
        "TRUE",
        "99999999999",
        "-",
        "\"",
        "'",
        "<a href=",
        "<img src=",
        "<!--",
        "-->",
        "<script",
        "</script>",
        "<link rel=stylesheet href=",
        "<base href=",
        "<style>",
        "</style>",
        " style=",
        " srcset=",
        " 2x, ",
        "url(",
        ")",
        "@import ",
        "/*",
        "*/",
        "<meta http-equiv=refresh content=",
        "0;url=",
        "&amp;",
        "&quot;",
        "/>",
        "data:",
        "x.css",
    };
    std::string input;
    if (!seeds.empty() && random() % 2)
        input = seeds[random() % seeds.size()];
    const int pieces = static_cast<int>(random() % 24);
    for (int i = 0; i < pieces; ++i) {
        const std::size_t at = input.empty() ? 0 : random() % (input.size() + 1);
        input.insert(at, kPieces[random() % kPieces.size()]);
    }
    return input;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [generated-count]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        std::ifstream in(entry.path(), std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        Run(seeds.back());
    }
    const long generated = argc > 2 ? std::atol(argv[2]) : 20000;
    std::mt19937 random(12345);
    for (long i = 0; i < generated; ++i)
        Run(Generate(random, seeds));
    std::printf("%zu corpus files and %ld generated inputs ran\n", seeds.size(), generated);
    return 0;
}
