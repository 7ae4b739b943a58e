#pragma once
// CSiteDialogLinksPage ("Links"): which links a crawl follows. Three filter lists (servers,
// directories, file names), each switched on by its Restrict box and each an include or an
// exclude list; a fourth of address patterns, matched against whole addresses with their
// query, which always excludes; the maximum link depth; whether links not followed are
// removed from the stored pages; and how addresses map to local files.
//
// A filter list travels as text, entries joined by ",", each a name, "=" and "1" (in force)
// or "0" (listed, not in force): "name1=1,name2=0". The page shows each list with a check
// box per entry, sorted by name.

#include <QString>
#include <cstdint>

#include "ui/controls/group_enabler.h"
#include "ui/dialogs/site_dialog_page.h"

class CImageButton;
class CSpinEdit;
class QCheckBox;
class QDialog;
class QGroupBox;
class QListWidget;
class QRadioButton;

class CSiteDialogLinksPage : public CSiteDialogPage {
    Q_OBJECT
public:
    explicit CSiteDialogLinksPage(QWidget* parent = nullptr);

    // Where an entry's name ends: at its first "=", or, for address patterns, which hold "="
    // themselves (queries do), before a final "=1" or "=0"; an address entry that ends
    // otherwise is all name.
    enum class EntryForm { FirstEquals, FinalFlag };

    // Empties the list, then lists each entry of the text, ticked unless its value is "0".
    // Empty entries are skipped; a name without a value counts as ticked.
    void ParseFilterList(QListWidget* list, const QString& text,
                         EntryForm form = EntryForm::FirstEquals);
    // Reads the page's controls into its values first (a failed check is shown but does not
    // stop the build), then returns the list's entries in their sorted order as text.
    QString BuildFilterList(QListWidget* list);

    void OnSetActive() override;
    bool OnKillActive() override;
    QWidget* FirstControl() const override;

    int m_restrictLevels = 0;
    int m_restrictServers = 0;
    int m_restrictDirectories = 0;
    int m_levels = 1;
    int m_restrictFileNames = 0;
    int m_removeLinks = 0;
    int m_pageRequisites = 0;
    int m_restrictAddresses = 0;
    QString m_addresses;
    int m_exactNames = 0;
    int m_requisitesAnyServer = 0;
    QString m_directories;
    QString m_fileNames;
    std::uint8_t m_includeDirectories = 0;
    std::uint8_t m_includeFileNames = 0;
    std::uint8_t m_includeServers = 0;
    QString m_servers;

protected:
    void BuildControls() override;
    void OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    // One filter list with its group box, its switches and its buttons (the address list
    // has no Include and Exclude).
    struct FilterGroup {
        QGroupBox* box = nullptr;
        QCheckBox* restrict = nullptr;
        QRadioButton* include = nullptr;
        QRadioButton* exclude = nullptr;
        QListWidget* list = nullptr;
        CImageButton* add = nullptr;
        CImageButton* remove = nullptr;
        CGroupEnabler enabler;
    };
    enum class Kind { Servers, Directories, FileNames, Addresses };

    void BuildFilterGroup(FilterGroup& group, Kind kind, const QString& restrictText,
                          const QString& explanation, const char* icon);
    FilterGroup& GroupOf(Kind kind);
    QString& TextOf(Kind kind);
    static EntryForm FormOf(Kind kind);
    std::uint8_t& IncludeOf(Kind kind);

    void Refresh();
    void OnRestrictClicked();
    void OnIncludeClicked(Kind kind, bool include);
    void OnAdd(Kind kind);
    void OnDelete(Kind kind);

    FilterGroup m_serverGroup;
    FilterGroup m_directoryGroup;
    FilterGroup m_fileGroup;
    FilterGroup m_addressGroup;
    QGroupBox* m_levelsBox = nullptr;
    QCheckBox* m_restrictLevelsCheck = nullptr;
    CSpinEdit* m_levelsEdit = nullptr;
    CGroupEnabler m_levelsEnabler;
    QCheckBox* m_removeLinksCheck = nullptr;
    QCheckBox* m_pageRequisitesCheck = nullptr;
    QCheckBox* m_exactNamesCheck = nullptr;
    QCheckBox* m_requisitesAnyServerCheck = nullptr; // enabled with m_pageRequisitesCheck
};
