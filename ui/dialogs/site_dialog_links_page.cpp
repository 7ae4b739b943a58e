#include "ui/dialogs/site_dialog_links_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>
#include <memory>

#include "ui/artwork.h"
#include "ui/controls/image_button.h"
#include "ui/controls/spin_edit.h"
#include "ui/dialogs/add_entry_dialogs.h"
#include "ui/dialogs/data_exchange.h"
#include "ui/dialogs/dialog_parts.h"
#include "ui/dialogs/message_dialog.h"

namespace {
constexpr int kLevelsMin = 1;
constexpr int kLevelsMax = 9999;

// Entries sort by name without regard to case, as the list views of the desktop do; names
// that differ only in case keep a fixed order.
class FilterEntry : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        const int order = QString::compare(text(), other.text(), Qt::CaseInsensitive);
        return order != 0 ? order < 0 : text() < other.text();
    }
};

void AddEntry(QListWidget* list, const QString& name, bool ticked) {
    auto* entry = new FilterEntry(name);
    entry->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    entry->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    entry->setToolTip(name);
    list->addItem(entry);
}
} // namespace

CSiteDialogLinksPage::CSiteDialogLinksPage(QWidget* parent)
    : CSiteDialogPage(QStringLiteral("Links"), parent) {}

void CSiteDialogLinksPage::BuildControls() {
    BuildFilterGroup(m_serverGroup, Kind::Servers, QStringLiteral("Restrict Servers"),
                     QStringLiteral("Check this group to restrict quarning to specific servers.  "
                                    "Links to servers not in the list will not be followed."),
                     art::kServersGroupIcon);
    BuildFilterGroup(m_directoryGroup, Kind::Directories, QStringLiteral("Restrict Directories"),
                     QStringLiteral("Check this group to restrict quarning to specific "
                                    "directories.  Directories not in the list will not be "
                                    "followed."),
                     art::kDirectoriesGroupIcon);
    BuildFilterGroup(m_fileGroup, Kind::FileNames, QStringLiteral("Restrict File Names"),
                     QStringLiteral("Check this group to restrict the names of files that are "
                                    "followed."),
                     art::kFilesGroupIcon);
    BuildFilterGroup(m_addressGroup, Kind::Addresses, QStringLiteral("Addresses"),
                     QStringLiteral("Check this group to leave out the addresses that match an "
                                    "entry, their query included."),
                     art::kAddressesGroupIcon);

    m_levelsBox = new QGroupBox(this);
    m_levelsBox->setObjectName(QStringLiteral("levelsGroupBox"));
    m_restrictLevelsCheck = AddEdgeCheckBox(m_levelsBox, QStringLiteral("Restrict Levels"));
    m_restrictLevelsCheck->setObjectName(QStringLiteral("restrictLevelsCheckBox"));
    connect(m_restrictLevelsCheck, &QCheckBox::clicked, this,
            &CSiteDialogLinksPage::OnRestrictClicked);
    auto* levelsLabel = new QLabel(QStringLiteral("Levels:"), m_levelsBox);
    m_levelsEdit = new CSpinEdit(m_levelsBox);
    m_levelsEdit->setObjectName(QStringLiteral("levelsEdit"));
    m_levelsEdit->SetDigitsOnly(true);
    levelsLabel->setBuddy(m_levelsEdit);
    auto* levelsLayout = new QGridLayout(m_levelsBox);
    levelsLayout->addWidget(MakeGroupIcon(art::kLevelsGroupIcon, m_levelsBox), 0, 0, 2, 1);
    levelsLayout->addWidget(
        MakeExplanation(QStringLiteral("Check this group to restrict quarning to a specific "
                                       "number of levels.  Links which fall beyond the maximum "
                                       "will not be followed."),
                        m_levelsBox),
        0, 1, 1, 3);
    levelsLayout->addWidget(levelsLabel, 1, 1);
    levelsLayout->addWidget(m_levelsEdit, 1, 2);
    levelsLayout->setColumnStretch(3, 1);
    levelsLayout->setRowStretch(2, 1);

    auto* modifyBox = new QGroupBox(QStringLiteral("Modify Links"), this);
    modifyBox->setObjectName(QStringLiteral("modifyLinksGroupBox"));
    m_removeLinksCheck =
        new QCheckBox(QStringLiteral("Remove links that are not followed"), modifyBox);
    m_removeLinksCheck->setObjectName(QStringLiteral("removeLinksCheckBox"));
    auto* modifyLayout = new QVBoxLayout(modifyBox);
    modifyLayout->addWidget(m_removeLinksCheck);
    modifyLayout->addStretch(1);

    // Below both columns, its caption going on in a wrapped line under the box's text:
    // a check box does not wrap its own.
    m_pageRequisitesCheck =
        new QCheckBox(QStringLiteral("Fetch everything pages need to display:"), this);
    m_pageRequisitesCheck->setObjectName(QStringLiteral("pageRequisitesCheckBox"));
    auto* requisitesList = new QLabel(QStringLiteral("scripts, style sheets and their images and "
                                                     "fonts, frames, responsive images, media"),
                                      this);
    requisitesList->setWordWrap(true);
    requisitesList->setIndent(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                              style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    // What pages need often lies on other servers (fonts, script libraries); the rules
    // that bound the copy's pages then do not hold for it.
    m_requisitesAnyServerCheck =
        new QCheckBox(QStringLiteral("Fetch what pages need from any server"), this);
    m_requisitesAnyServerCheck->setObjectName(QStringLiteral("requisitesAnyServerCheckBox"));
    auto* anyServer = new QHBoxLayout;
    anyServer->addSpacing(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                          style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
    anyServer->addWidget(m_requisitesAnyServerCheck, 0, Qt::AlignLeft);
    connect(m_pageRequisitesCheck, &QCheckBox::toggled, m_requisitesAnyServerCheck,
            &QWidget::setEnabled);
    auto* requisites = new QVBoxLayout;
    requisites->setSpacing(0);
    requisites->addWidget(m_pageRequisitesCheck, 0, Qt::AlignLeft);
    requisites->addWidget(requisitesList);
    requisites->addLayout(anyServer);

    m_exactNamesCheck = new QCheckBox(
        QStringLiteral("Keep every address apart: queries, names without a dot, ports and case"),
        this);
    m_exactNamesCheck->setObjectName(QStringLiteral("exactNamesCheckBox"));

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_serverGroup.box, 0, 0);
    layout->addWidget(m_directoryGroup.box, 0, 1);
    layout->addWidget(m_fileGroup.box, 1, 0);
    layout->addWidget(m_addressGroup.box, 1, 1);
    layout->addWidget(m_levelsBox, 2, 0);
    layout->addWidget(modifyBox, 2, 1);
    layout->addLayout(requisites, 3, 0, 1, 2);
    layout->addWidget(m_exactNamesCheck, 4, 0, 1, 2);
    // Room above each box for the check box on its edge.
    layout->setVerticalSpacing(layout->verticalSpacing() + 6);
}

void CSiteDialogLinksPage::BuildFilterGroup(FilterGroup& group, Kind kind,
                                            const QString& restrictText, const QString& explanation,
                                            const char* icon) {
    static const char* const kNames[] = {"servers", "directories", "files", "addresses"};
    const QString name = QString::fromLatin1(kNames[static_cast<int>(kind)]);
    group.box = new QGroupBox(this);
    group.box->setObjectName(name + QStringLiteral("GroupBox"));
    group.restrict = AddEdgeCheckBox(group.box, restrictText);
    group.restrict->setObjectName(name + QStringLiteral("RestrictCheckBox"));
    connect(group.restrict, &QCheckBox::clicked, this, &CSiteDialogLinksPage::OnRestrictClicked);

    // The address list only ever excludes: it has no choice to offer.
    auto* radios = new QHBoxLayout;
    if (kind != Kind::Addresses) {
        group.include = new QRadioButton(QStringLiteral("Include"), group.box);
        group.include->setObjectName(name + QStringLiteral("IncludeRadio"));
        group.exclude = new QRadioButton(QStringLiteral("Exclude"), group.box);
        group.exclude->setObjectName(name + QStringLiteral("ExcludeRadio"));
        connect(group.include, &QRadioButton::clicked, this,
                [this, kind] { OnIncludeClicked(kind, true); });
        connect(group.exclude, &QRadioButton::clicked, this,
                [this, kind] { OnIncludeClicked(kind, false); });
        radios->addWidget(group.include);
        radios->addWidget(group.exclude);
        radios->addStretch(1);
    }

    group.list = new QListWidget(group.box);
    group.list->setObjectName(name + QStringLiteral("List"));
    group.list->setSelectionMode(QAbstractItemView::SingleSelection);
    group.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    group.list->setSortingEnabled(true);
    // Three entries show at the sheet's smallest size, however full the page below gets.
    group.list->setMinimumHeight(3 * group.list->fontMetrics().height() +
                                 2 * group.list->frameWidth());

    group.add = new CImageButton(QStringLiteral("Add"), group.box);
    group.add->setObjectName(name + QStringLiteral("AddButton"));
    group.add->setAutoDefault(false);
    connect(group.add, &QPushButton::clicked, this, [this, kind] { OnAdd(kind); });
    group.remove = new CImageButton(QStringLiteral("Delete"), group.box);
    group.remove->setObjectName(name + QStringLiteral("DeleteButton"));
    group.remove->setAutoDefault(false);
    connect(group.remove, &QPushButton::clicked, this, [this, kind] { OnDelete(kind); });

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(group.add);
    buttons->addWidget(group.remove);
    buttons->addStretch(1);

    auto* layout = new QGridLayout(group.box);
    layout->addWidget(MakeGroupIcon(icon, group.box), 0, 0, 2, 1);
    layout->addWidget(MakeExplanation(explanation, group.box), 0, 1, 1, 2);
    layout->addLayout(radios, 1, 1, 1, 2);
    layout->addWidget(group.list, 2, 0, 1, 2);
    layout->addLayout(buttons, 2, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
}

void CSiteDialogLinksPage::OnInitDialog() {
    CSiteDialogPage::OnInitDialog();
    ParseFilterList(m_serverGroup.list, m_servers);
    ParseFilterList(m_directoryGroup.list, m_directories);
    ParseFilterList(m_fileGroup.list, m_fileNames);
    ParseFilterList(m_addressGroup.list, m_addresses, EntryForm::FinalFlag);
    m_levelsEdit->SetRange(kLevelsMin, kLevelsMax);
    m_serverGroup.enabler.Attach(m_serverGroup.box);
    m_directoryGroup.enabler.Attach(m_directoryGroup.box);
    m_fileGroup.enabler.Attach(m_fileGroup.box);
    m_addressGroup.enabler.Attach(m_addressGroup.box);
    m_levelsEnabler.Attach(m_levelsBox);
    Refresh();
}

void CSiteDialogLinksPage::DoDataExchange(CDataExchange& dx) {
    dx.Check(m_restrictLevelsCheck, m_restrictLevels);
    dx.Check(m_serverGroup.restrict, m_restrictServers);
    dx.Check(m_directoryGroup.restrict, m_restrictDirectories);
    dx.Integer(m_levelsEdit, m_levels, kLevelsMin, kLevelsMax);
    dx.Check(m_fileGroup.restrict, m_restrictFileNames);
    dx.Check(m_removeLinksCheck, m_removeLinks);
    dx.Check(m_pageRequisitesCheck, m_pageRequisites);
    dx.Check(m_requisitesAnyServerCheck, m_requisitesAnyServer);
    dx.Check(m_addressGroup.restrict, m_restrictAddresses);
    dx.Check(m_exactNamesCheck, m_exactNames);
}

QWidget* CSiteDialogLinksPage::FirstControl() const {
    return m_serverGroup.restrict;
}

void CSiteDialogLinksPage::OnSetActive() {
    // The Site page may have rewritten the servers while this page was hidden.
    ParseFilterList(m_serverGroup.list, m_servers);
    CSiteDialogPage::OnSetActive();
    Refresh();
}

bool CSiteDialogLinksPage::OnKillActive() {
    if (!UpdateData(true))
        return false;
    m_servers = BuildFilterList(m_serverGroup.list);
    m_directories = BuildFilterList(m_directoryGroup.list);
    m_fileNames = BuildFilterList(m_fileGroup.list);
    m_addresses = BuildFilterList(m_addressGroup.list);
    return true;
}

void CSiteDialogLinksPage::ParseFilterList(QListWidget* list, const QString& text, EntryForm form) {
    list->clear();
    QString rest = text;
    while (!rest.isEmpty()) {
        const qsizetype comma = rest.indexOf(u',');
        const QString item = comma < 0 ? rest : rest.left(comma);
        rest = comma < 0 ? QString() : rest.mid(comma + 1);
        qsizetype skip = 0;
        while (skip < rest.size() && rest[skip] == u',')
            ++skip;
        rest.remove(0, skip);
        if (item.isEmpty())
            continue;
        if (form == EntryForm::FinalFlag) {
            const bool flagged = item.size() >= 2 && item[item.size() - 2] == u'=' &&
                                 (item.back() == u'0' || item.back() == u'1');
            const QString name = flagged ? item.chopped(2) : item;
            if (!name.isEmpty())
                AddEntry(list, name, !flagged || item.back() == u'1');
            continue;
        }
        const qsizetype equals = item.indexOf(u'=');
        const QString name = equals < 0 ? item : item.left(equals);
        QString value = equals < 0 ? QString() : item.mid(equals);
        qsizetype leading = 0;
        while (leading < value.size() && value[leading] == u'=')
            ++leading;
        value.remove(0, leading);
        AddEntry(list, name, value != QStringLiteral("0"));
    }
}

QString CSiteDialogLinksPage::BuildFilterList(QListWidget* list) {
    UpdateData(true);
    QString text;
    for (int i = 0; i < list->count(); ++i) {
        const QListWidgetItem* entry = list->item(i);
        if (i > 0)
            text += u',';
        text += entry->text() + u'=' +
                (entry->checkState() == Qt::Checked ? QLatin1Char('1') : QLatin1Char('0'));
    }
    return text;
}

void CSiteDialogLinksPage::Refresh() {
    m_serverGroup.enabler.Enable(m_restrictServers != 0);
    (m_includeServers != 0 ? m_serverGroup.include : m_serverGroup.exclude)->setChecked(true);
    m_directoryGroup.enabler.Enable(m_restrictDirectories != 0);
    (m_includeDirectories != 0 ? m_directoryGroup.include : m_directoryGroup.exclude)
        ->setChecked(true);
    m_fileGroup.enabler.Enable(m_restrictFileNames != 0);
    (m_includeFileNames != 0 ? m_fileGroup.include : m_fileGroup.exclude)->setChecked(true);
    m_addressGroup.enabler.Enable(m_restrictAddresses != 0);
    m_levelsEnabler.Enable(m_restrictLevels != 0);
    m_requisitesAnyServerCheck->setEnabled(m_pageRequisites != 0);
}

void CSiteDialogLinksPage::OnRestrictClicked() {
    UpdateData(true);
    Refresh();
}

void CSiteDialogLinksPage::OnIncludeClicked(Kind kind, bool include) {
    IncludeOf(kind) = include ? 1 : 0;
    Refresh();
}

void CSiteDialogLinksPage::OnAdd(Kind kind) {
    std::unique_ptr<CAddEntryDialog> dialog;
    if (kind == Kind::Servers)
        dialog = std::make_unique<CAddServerDialog>();
    else if (kind == Kind::Directories)
        dialog = std::make_unique<CAddDirectoryDialog>();
    else if (kind == Kind::FileNames)
        dialog = std::make_unique<CAddFileDialog>();
    else
        dialog = std::make_unique<CAddAddressDialog>();
    if (dialog->exec() != QDialog::Accepted || dialog->Entry().isEmpty())
        return;
    const QString entry = dialog->Entry();
    FilterGroup& group = GroupOf(kind);
    for (int i = 0; i < group.list->count(); ++i) {
        if (group.list->item(i)->text() == entry) {
            static const char* const kWhat[] = {"The server '", "The directory '", "The file '",
                                                "The address '"};
            ShowMessage(QString::fromLatin1(kWhat[static_cast<int>(kind)]) + entry +
                        QStringLiteral("' already exists."));
            return;
        }
    }
    AddEntry(group.list, entry, true);
    TextOf(kind) = BuildFilterList(group.list);
    ParseFilterList(group.list, TextOf(kind), FormOf(kind));
}

void CSiteDialogLinksPage::OnDelete(Kind kind) {
    FilterGroup& group = GroupOf(kind);
    const QList<QListWidgetItem*> selected = group.list->selectedItems();
    if (selected.isEmpty())
        return;
    delete selected.first();
    TextOf(kind) = BuildFilterList(group.list);
    ParseFilterList(group.list, TextOf(kind), FormOf(kind));
}

CSiteDialogLinksPage::FilterGroup& CSiteDialogLinksPage::GroupOf(Kind kind) {
    switch (kind) {
    case Kind::Servers:
        return m_serverGroup;
    case Kind::Directories:
        return m_directoryGroup;
    case Kind::FileNames:
        return m_fileGroup;
    case Kind::Addresses:
        break;
    }
    return m_addressGroup;
}

QString& CSiteDialogLinksPage::TextOf(Kind kind) {
    switch (kind) {
    case Kind::Servers:
        return m_servers;
    case Kind::Directories:
        return m_directories;
    case Kind::FileNames:
        return m_fileNames;
    case Kind::Addresses:
        break;
    }
    return m_addresses;
}

CSiteDialogLinksPage::EntryForm CSiteDialogLinksPage::FormOf(Kind kind) {
    return kind == Kind::Addresses ? EntryForm::FinalFlag : EntryForm::FirstEquals;
}

std::uint8_t& CSiteDialogLinksPage::IncludeOf(Kind kind) {
    return kind == Kind::Servers       ? m_includeServers
           : kind == Kind::Directories ? m_includeDirectories
                                       : m_includeFileNames;
}
