// Any project Quarn holds loads back the same: the input is a recipe for groups and sites
// whose every setting is set from its bytes (any byte, tag-like text included); the
// project is saved, loaded and saved again, and the loaded groups, sites and settings and
// the second file must equal the first.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "model/project.h"
#include "model/site.h"
#include "model/site_group.h"
#include "model/xml_element.h"

namespace {

// Hands out the input's bytes; zeros once it runs dry, so every input makes a project.
class Recipe {
public:
    explicit Recipe(std::string_view bytes) : m_bytes(bytes) {}

    unsigned char Byte() {
        return m_at < m_bytes.size() ? static_cast<unsigned char>(m_bytes[m_at++]) : 0;
    }
    // A length byte, then up to that many bytes.
    std::string Text() {
        const std::size_t length = Byte() % 40;
        const std::string_view text = m_bytes.substr(std::min(m_at, m_bytes.size()), length);
        m_at += text.size();
        return std::string(text);
    }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

// A site whose settings are read from recipe texts, so numbers and switches take the
// values any text gives them.
std::unique_ptr<CSite> RandomSite(Recipe& recipe) {
    auto site = std::make_unique<CSite>(recipe.Text());
    const std::unique_ptr<CXMLElement> settings = site->WriteSettings();
    for (std::size_t i = 0; i < settings->GetChildCount(); ++i)
        if (recipe.Byte() % 4 != 0)
            settings->GetChild(i)->SetValue(recipe.Text());
    site->ReadSettings(*settings);
    return site;
}

std::string Stored(const CProject& project) {
    std::ostringstream out;
    project.Store(out);
    return out.str();
}

void Check(bool holds) {
    if (!holds)
        __builtin_trap();
}

// Every setting of the two sites, compared as the file writes them.
void CheckSameSettings(const CSite& a, const CSite& b) {
    const std::unique_ptr<CXMLElement> left = a.WriteSettings();
    const std::unique_ptr<CXMLElement> right = b.WriteSettings();
    Check(left->GetChildCount() == right->GetChildCount());
    for (std::size_t i = 0; i < left->GetChildCount(); ++i)
        Check(left->GetChild(i)->GetValue() == right->GetChild(i)->GetValue());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Recipe recipe(std::string_view(reinterpret_cast<const char*>(data), size));
    CProject project;
    for (int groups = recipe.Byte() % 4; groups > 0; --groups) {
        project.AddGroup(std::make_unique<CSiteGroup>(recipe.Text()));
        CSiteGroup& group = *project.GetGroups().back();
        group.m_expanded = recipe.Byte() % 2 == 0;
        for (int sites = recipe.Byte() % 4; sites > 0; --sites)
            project.AddSite(RandomSite(recipe), group);
    }

    const std::string saved = Stored(project);
    std::istringstream in(saved);
    CProject loaded;
    std::string error;
    Check(loaded.Load(in, error));
    Check(loaded.GetGroups().size() == project.GetGroups().size());
    for (std::size_t g = 0; g < project.GetGroups().size(); ++g) {
        const CSiteGroup& before = *project.GetGroups()[g];
        const CSiteGroup& after = *loaded.GetGroups()[g];
        Check(after.m_name == before.m_name && after.m_expanded == before.m_expanded);
        Check(after.m_sites.size() == before.m_sites.size());
        for (std::size_t s = 0; s < before.m_sites.size(); ++s)
            CheckSameSettings(*before.m_sites[s], *after.m_sites[s]);
    }
    Check(Stored(loaded) == saved);
    return 0;
}
