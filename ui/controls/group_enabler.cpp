#include "ui/controls/group_enabler.h"

#include <QGroupBox>
#include <algorithm>

namespace {
constexpr const char* kExplanatoryProperty = "quarnExplanatory";

bool HoldsExplanatory(const QWidget* widget) {
    const auto children = widget->findChildren<QWidget*>();
    return std::any_of(children.begin(), children.end(), [](const QWidget* child) {
        return !child->isWindow() && CGroupEnabler::IsExplanatory(child);
    });
}
} // namespace

void CGroupEnabler::MarkExplanatory(QWidget* widget) {
    if (widget)
        widget->setProperty(kExplanatoryProperty, true);
}

bool CGroupEnabler::IsExplanatory(const QWidget* widget) {
    return widget->property(kExplanatoryProperty).toBool();
}

void CGroupEnabler::Attach(QGroupBox* box) {
    m_widgets.clear();
    if (box)
        Collect(box);
}

// Disabling a widget disables its children too, so a container that holds an explanatory
// text is not listed itself; its other children are, one by one.
void CGroupEnabler::Collect(QWidget* container) {
    const auto children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow() || IsExplanatory(child))
            continue;
        if (HoldsExplanatory(child))
            Collect(child);
        else
            m_widgets.emplace_back(child);
    }
}

void CGroupEnabler::Enable(bool enable) {
    if (enable == m_enabled)
        return;
    for (const auto& widget : m_widgets)
        if (widget)
            widget->setEnabled(enable);
    m_enabled = enable;
}
