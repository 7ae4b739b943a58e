#pragma once
// CSiteListDialog: the frame that the Errors and Log dialogs share: an icon, what they show
// of a site, and OK, Refresh and Clear down the right. Refresh shows the site's list again,
// so the user can watch a running crawl; Clear empties it. The site takes its own lock for
// both, so they are safe while workers add to it.

#include <QDialog>

class CImageButton;
class CSite;
class QTreeWidget;

class CSiteListDialog : public QDialog {
    Q_OBJECT
protected:
    CSiteListDialog(const QString& title, CSite& site, QWidget* parent);

    // Puts the widget that shows the list beside the icon (the errors picture unless one is
    // named); the subclass then fills it.
    void SetContent(QWidget* content, const QString& iconResource = QString());
    // Shows the site's list as it is now.
    virtual void Fill() = 0;
    // Empties the site's list.
    virtual void ClearSite() = 0;
    // For content that Clear does not act on.
    void SetClearEnabled(bool enabled);
    // Lines along every cell's right and bottom edge, and rows tall enough that the text
    // (an underscore too) stays clear of them.
    static void ShowAsGrid(QTreeWidget* list);

    CSite& m_site;

private:
    CImageButton* m_ok = nullptr;
    CImageButton* m_refresh = nullptr;
    CImageButton* m_clear = nullptr;
};
