#pragma once
// CGroupEnabler: enables or disables everything inside a group box at once, apart from the
// explanatory texts of a page, which stay readable whatever the user chose. The box itself
// stays enabled so that a check box in its title can switch it back on.
//
// The widgets are listed when the enabler is attached; widgets added later are not covered.

#include <QPointer>
#include <QWidget>
#include <vector>

class QGroupBox;

class CGroupEnabler {
public:
    // Lists the box's widgets; a null box leaves the enabler empty.
    void Attach(QGroupBox* box);
    // Explanatory texts are never disabled with their group.
    static void MarkExplanatory(QWidget* widget);
    static bool IsExplanatory(const QWidget* widget);

    // Does nothing when the flag is already the stored one.
    void Enable(bool enable);
    bool IsEnabled() const { return m_enabled; }
    int WidgetCount() const { return static_cast<int>(m_widgets.size()); }

private:
    void Collect(QWidget* container);

    bool m_enabled = true;
    std::vector<QPointer<QWidget>> m_widgets;
};
