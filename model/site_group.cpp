#include "model/site_group.h"

#include "model/setting_text.h"
#include "model/site.h"
#include "model/xml_element.h"

CSiteGroup::CSiteGroup(std::string name) : CSiteItem(std::move(name), kItemGroup) {}

CSiteGroup::~CSiteGroup() = default;

std::unique_ptr<CXMLElement> CSiteGroup::Write() const {
    auto element = std::make_unique<CXMLElement>("GROUP", "");
    element->AddChild(std::make_unique<CXMLElement>("EXPANDED", FormatBoolSetting(m_expanded)));
    element->AddChild(std::make_unique<CXMLElement>("NAME", m_name));
    for (const auto& site : m_sites) {
        std::unique_ptr<CXMLElement> settings = site->WriteSettings();
        site->WriteLastCrawl(*settings);
        element->AddChild(std::move(settings));
    }
    return element;
}

void CSiteGroup::Read(const CXMLElement& element) {
    for (std::size_t i = 0; i < element.GetChildCount(); ++i) {
        const CXMLElement* child = element.GetChild(i);
        if (child->GetName() == "EXPANDED") {
            m_expanded = ParseBoolSetting(child->GetValue());
        } else if (child->GetName() == "NAME") {
            m_name = child->GetValue();
        } else if (child->GetName() == "SITE") {
            auto site = std::make_unique<CSite>("Untitled");
            site->m_group = this;
            m_sites.push_back(std::move(site));
            m_sites.back()->ReadSettings(*child);
            m_sites.back()->ReadLastCrawl(*child);
        }
    }
}
