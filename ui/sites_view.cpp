#include "ui/sites_view.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <vector>

#include "engine/controller.h"
#include "engine/messages.h"
#include "model/file_path.h"
#include "model/project.h"
#include "model/site.h"
#include "model/site_group.h"
#include "model/site_moves.h"
#include "model/xml_document.h"
#include "model/xml_element.h"
#include "ui/app_globals.h"
#include "ui/controls/label_ctrl.h"
#include "ui/controls/tree_ctrl_ex.h"
#include "ui/dialogs/message_dialog.h"
#include "ui/quarn_view.h"
#include "web/site_name.h"
#include "web/url.h"

const QString CSitesView::kSiteMimeType =
    QStringLiteral("application/x-qt-windows-mime;value=\"CF_SITE\"");

namespace {

constexpr int kImageSiteBlink = 9;
constexpr int kImageSitePaused = 12;
// The edit limits: an edit started by the Rename commands, and one started by a click.
constexpr int kRenameLimit = 64;
constexpr int kLabelLimit = 127;
// The drag data block grows in steps of this size and is zero-filled, so a reader that
// takes it as a zero-terminated text finds the end.
constexpr qsizetype kBlockStep = 4096;

constexpr unsigned kSelectedCaret = CTreeCtrlEx::kStateSelected | CTreeCtrlEx::kStateCaret;

CSiteItem* RecordOf(const QModelIndex& index) {
    return reinterpret_cast<CSiteItem*>(index.data(Qt::UserRole).value<quintptr>());
}

CSiteGroup* AsGroup(CSiteItem* record) {
    return record && record->IsGroup() ? static_cast<CSiteGroup*>(record) : nullptr;
}

CSite* AsSite(CSiteItem* record) {
    return record && record->IsSite() ? static_cast<CSite*>(record) : nullptr;
}

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

// The record's icon, or none for an image the list does not hold.
QIcon ImageOf(const CSiteItem& record) {
    const int image = CSitesView::ImageIndex(record);
    if (image < 0 || static_cast<std::size_t>(image) >= g_imageList.size())
        return {};
    return QIcon(g_imageList[static_cast<std::size_t>(image)]);
}

QTreeWidgetItem* MakeItem(CSiteItem& record) {
    auto* item = new QTreeWidgetItem(QStringList(ToQString(record.m_name)));
    // The delegate draws the record's current icon; this one tells the tree that the item
    // has an icon, so that clicks on it are not taken for clicks on the label.
    item->setIcon(0, ImageOf(record));
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(&record)));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                   Qt::ItemIsDragEnabled);
    return item;
}

// The records in the order the tree shows them: by name, ignoring case.
template <typename Record>
std::vector<Record*> SortedByName(const std::vector<std::unique_ptr<Record>>& records) {
    std::vector<Record*> sorted;
    for (const auto& record : records)
        sorted.push_back(record.get());
    std::stable_sort(sorted.begin(), sorted.end(), [](const Record* a, const Record* b) {
        return QString::compare(ToQString(a->m_name), ToQString(b->m_name), Qt::CaseInsensitive) <
               0;
    });
    return sorted;
}

// The action a drop may report: the wanted one when the source allows it, else a copy.
Qt::DropAction Allowed(Qt::DropAction wanted, Qt::DropActions possible) {
    if (possible & wanted)
        return wanted;
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

// The site element of a dropped block, read as a project file's text is read: up to the
// first zero byte, cleaned up and parsed. A block the program wrote holds one element.
std::unique_ptr<CXMLElement> DroppedElement(QByteArray block) {
    const qsizetype end = block.indexOf('\0');
    if (end >= 0)
        block.truncate(end);
    return CXMLDocument::ParseXMLText(block.toStdString());
}

// The address a drop carries: a dragged link offers its address in the URL list and its
// caption as plain text, so the URL comes first. Dropped text loses surrounding white space
// and line ends. Empty when there is neither.
QString DroppedAddress(const QMimeData& data) {
    if (data.hasUrls())
        for (const QUrl& url : data.urls())
            if (url.isValid() && !url.isEmpty())
                return url.toString(QUrl::FullyEncoded);
    return data.hasText() ? data.text().trimmed() : QString();
}

// The files a crawl stored under folder, not counting the program's own bookkeeping files.
// The walk only reads directory entries, so even a large copy is counted quickly.
std::int64_t StoredFileCount(const std::string& folder) {
    namespace fs = std::filesystem;
    if (folder.empty())
        return 0;
    std::int64_t count = 0;
    std::error_code error;
    fs::recursive_directory_iterator entry(ToFsPath(folder),
                                           fs::directory_options::skip_permission_denied, error);
    for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_regular_file(ignored) && !entry->is_symlink(ignored) &&
            !entry->path().filename().string().starts_with(".quarn-"))
            ++count;
    }
    return count;
}

bool OffersAddress(const QMimeData& data) {
    return data.hasUrls() || data.hasText();
}

} // namespace

// Supplies the icons from the records, so an image the engine changes shows at the next
// paint, and limits and commits in-place edits.
class CSitesItemDelegate : public QStyledItemDelegate {
public:
    explicit CSitesItemDelegate(CSitesView* view) : QStyledItemDelegate(view), m_view(view) {}

    void SetLimit(int limit) { m_limit = limit; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(m_limit);
        return editor;
    }

    // An empty text keeps the old name.
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        const auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line || line->text().isEmpty())
            return;
        model->setData(index, line->text(), Qt::EditRole);
        m_view->OnRenamed(RecordOf(index), line->text());
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const CSiteItem* record = RecordOf(index);
        if (!record)
            return;
        const QIcon icon = ImageOf(*record);
        if (icon.isNull())
            return;
        option->features |= QStyleOptionViewItem::HasDecoration;
        option->icon = icon;
    }

private:
    CSitesView* m_view;
    int m_limit = kLabelLimit;
};

CSitesView::CSitesView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("sitesView"));

    m_caption = new CLabelCtrl(this);
    m_caption->setObjectName(QStringLiteral("sitesCaption"));
    m_caption->SetText(QStringLiteral("Sites"));
    m_caption->SetBold(true);
    m_caption->setFixedHeight(kCaptionHeight);

    m_tree = new CTreeCtrlEx(this);
    m_tree->setObjectName(QStringLiteral("sitesTree"));
    m_delegate = new CSitesItemDelegate(this);
    m_tree->setItemDelegate(m_delegate);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->setAcceptDrops(true);
    m_tree->viewport()->setAcceptDrops(true);
    m_tree->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_caption);
    layout->addWidget(m_tree, 1);

    connect(m_tree, &CTreeCtrlEx::mouseClicked, this, &CSitesView::OnClicked);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OnDoubleClicked(item); });
    connect(m_tree, &QWidget::customContextMenuRequested, this, &CSitesView::OnContextMenu);
    connect(m_tree, &CTreeCtrlEx::beginDrag, this,
            [this](QTreeWidgetItem* item) { OnBeginDrag(item); });
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { OnExpandedChanged(item, true); });
    connect(m_tree, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { OnExpandedChanged(item, false); });

    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &CSitesView::BlinkStep);

    onShowSite = [](CSite* site) { PostViewMessage(g_pQuarnView, WM_SHOW_SITE, site); };
    onSiteChanged = [](CSite* site) { PostViewMessage(g_pQuarnView, WM_SITE_CHANGED, site); };
    askQuestion = [this](const QString& text) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Quarn"), text,
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setTextFormat(Qt::PlainText); // site names are not markup
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes;
    };
    askDelete = [this](const QString& text, bool hasFiles) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Quarn"), text, QMessageBox::Cancel,
                        this);
        box.setTextFormat(Qt::PlainText);
        QPushButton* keep =
            box.addButton(hasFiles ? QStringLiteral("&Keep Files") : QStringLiteral("&Delete"),
                          QMessageBox::AcceptRole);
        QPushButton* erase = hasFiles ? box.addButton(QStringLiteral("Delete &Files Too"),
                                                      QMessageBox::DestructiveRole)
                                      : nullptr;
        box.setDefaultButton(keep);
        box.exec();
        if (box.clickedButton() == keep)
            return DeleteChoice::KeepFiles;
        if (erase && box.clickedButton() == erase)
            return DeleteChoice::DeleteFiles;
        return DeleteChoice::Cancel;
    };
    tell = [](const QString& text) { ShowMessage(text); };
}

CSitesView::~CSitesView() = default;

CSiteItem* CSitesView::Record(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<CSiteItem*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

int CSitesView::ImageIndex(const CSiteItem& record) {
    // A site's is decided by its state, so that no blink step racing the crawl's end can
    // hide how it ended.
    return record.IsGroup() ? static_cast<const CSiteGroup&>(record).GetImage()
                            : static_cast<const CSite&>(record).TreeImage();
}

bool CSitesView::IsBusy(const CSite& site) {
    const int state = site.m_state.load();
    return state == kSiteQuarning || state == kSiteQueued;
}

// ---------------------------------------------------------------------------------------
// The tree

void CSitesView::OnInitialUpdate() {
    RebuildTree();
    const QPalette colours = palette();
    m_caption->SetBackgroundColour(colours.color(QPalette::Active, QPalette::Highlight));
    m_caption->SetTextColour(colours.color(QPalette::Active, QPalette::HighlightedText));
    // A project without groups gets one, which does not count as a change.
    if (g_pProject && g_pProject->GetGroups().empty()) {
        g_pProject->GetGroups().push_back(std::make_unique<CSiteGroup>("Sites"));
        RebuildTree();
    }
}

void CSitesView::RebuildTree() {
    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    if (g_pProject) {
        for (CSiteGroup* group : SortedByName(g_pProject->GetGroups())) {
            QTreeWidgetItem* groupItem = MakeItem(*group);
            m_tree->addTopLevelItem(groupItem);
            for (CSite* site : SortedByName(group->m_sites))
                groupItem->addChild(MakeItem(*site));
            groupItem->setExpanded(group->m_expanded);
        }
    }
    if (QTreeWidgetItem* first = m_tree->topLevelItem(0))
        m_tree->SetItemState(first, kSelectedCaret, kSelectedCaret);
    m_tree->setUpdatesEnabled(true);
    m_tree->setFocus();
}

QTreeWidgetItem* CSitesView::FindItemByKey(int key) const {
    for (QTreeWidgetItem* item : m_tree->GetAllItems())
        if (const CSiteItem* record = Record(item); record && record->m_key == key)
            return item;
    return nullptr;
}

QTreeWidgetItem* CSitesView::FindItem(const CSiteItem* record) const {
    if (!record)
        return nullptr;
    for (QTreeWidgetItem* item : m_tree->GetAllItems())
        if (Record(item) == record)
            return item;
    return nullptr;
}

QTreeWidgetItem* CSitesView::HitItem(QPoint pos) const {
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    // Left of the item's own rectangle lie the indent and the expand button.
    if (!item || pos.x() < m_tree->visualItemRect(item).left())
        return nullptr;
    return item;
}

void CSitesView::ShowSiteInStatus(CSite* site) {
    if (onShowSite)
        onShowSite(site);
}

void CSitesView::OnClicked(QPoint pos, Qt::MouseButton button) {
    if (button == Qt::LeftButton)
        ShowSiteInStatus(AsSite(Record(HitItem(pos))));
}

void CSitesView::OnDoubleClicked(QTreeWidgetItem* item) {
    // A double click on a group opens or closes it, which the tree does itself.
    if (CSite* site = AsSite(Record(item)))
        EditSite(site);
}

void CSitesView::OnContextMenu(QPoint pos) {
    QTreeWidgetItem* hit = HitItem(pos);
    CSiteItem* record = Record(hit);
    ShowSiteInStatus(AsSite(record));
    int popup = 0;
    if (!m_tree->itemAt(pos) || AsGroup(record))
        popup = kGroupPopup;
    else if (AsSite(record))
        popup = kSitePopup;
    if (popup && onContextMenu)
        onContextMenu(popup, m_tree->viewport()->mapToGlobal(pos) + QPoint(2, 2));
}

void CSitesView::OnExpandedChanged(QTreeWidgetItem* item, bool expanded) {
    // The flag is saved with the project, but opening a group is not an edit.
    if (CSiteGroup* group = AsGroup(Record(item)))
        group->m_expanded = expanded;
}

void CSitesView::StartLabelEdit(QTreeWidgetItem* item, int limit) {
    m_delegate->SetLimit(limit);
    m_tree->editItem(item, 0);
    m_delegate->SetLimit(kLabelLimit);
}

void CSitesView::OnRenamed(CSiteItem* record, const QString& text) {
    if (!record || !g_pProject)
        return;
    if (CSite* site = AsSite(record)) {
        // The name may be the site's folder: it moves along, or the rename is refused.
        QString refusal;
        if (IsBusy(*site))
            refusal = QStringLiteral("Cannot rename a site while it is being quarned.");
        else
            refusal = ToQString(RenameSite(*g_pProject, *site, text.toStdString()));
        if (!refusal.isEmpty() && tell)
            tell(refusal);
    } else {
        record->m_name = text.toStdString();
    }
    g_pProject->SetModified(true);
    // The editor is still closing: rebuilding now would delete the item under it.
    const int key = record->m_key;
    QMetaObject::invokeMethod(
        this,
        [this, key] {
            RebuildTree();
            QTreeWidgetItem* item = FindItemByKey(key);
            if (!item)
                return;
            m_tree->ClearSelection();
            m_tree->SetItemState(item, kSelectedCaret, kSelectedCaret);
            if (CSite* site = AsSite(Record(item)); site && onSiteChanged)
                onSiteChanged(site);
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------
// Messages

void CSitesView::OnViewMessage(unsigned message, CSite* site) {
    switch (message) {
    case WM_SHOW_SITE:
        m_tree->ClearSelection();
        // Found by address only: the site may be gone, so it is not touched.
        if (QTreeWidgetItem* item = FindItem(site)) {
            m_tree->SetItemState(item, CTreeCtrlEx::kStateSelected, CTreeCtrlEx::kStateSelected);
            m_tree->scrollToItem(item);
        }
        break;
    case WM_SITE_STARTED:
        PostViewMessage(this, WM_SHOW_SITE, site);
        m_blinkPhase = 0;
        m_blinkTimer.start();
        break;
    case WM_SITE_FINISHED:
        m_blinkTimer.stop();
        BlinkStep();
        PostViewMessage(this, WM_SITE_CHANGED, site);
        break;
    default:
        break;
    }
}

void CSitesView::BlinkStep() {
    m_blinkPhase = (m_blinkPhase + 1) % 2;
    CSite* site = g_pController ? g_pController->GetCurrentSite() : nullptr;
    if (!site || !IsSiteInProject(site)) {
        m_tree->viewport()->update();
        return;
    }
    // A site that has just ended keeps the image its end gave it (a failed one, say).
    if (site->m_state.load() != kSiteQuarning)
        return;
    const int state = ControllerState();
    const bool lit = state == kControllerRunning && m_blinkPhase == 0;
    const int wanted = state == kControllerPaused ? kImageSitePaused
                       : lit                      ? kImageSiteBlink
                                                  : kImageSiteCrawled;
    if (site->m_image == wanted)
        return;
    site->m_image = wanted;
    if (QTreeWidgetItem* item = FindItem(site))
        m_tree->viewport()->update(m_tree->visualItemRect(item));
}

// ---------------------------------------------------------------------------------------
// Commands

bool CSitesView::UpdateCommand(int id, CCommandState& state) {
    const QList<QTreeWidgetItem*> selected = m_tree->GetSelectedList();
    const CSiteItem* first = selected.isEmpty() ? nullptr : Record(selected.first());
    const bool one = selected.size() == 1;
    bool anyGroup = false;
    bool anySite = false;
    bool selectedSiteBusy = false;
    bool groupSiteBusy = false;
    bool anyIdle = false; // a selected site, or a site of a selected group, that is not busy
    bool anyBusy = false;
    for (QTreeWidgetItem* item : selected) {
        CSiteItem* record = Record(item);
        if (CSiteGroup* group = AsGroup(record)) {
            anyGroup = true;
            for (const auto& site : group->m_sites) {
                const bool busy = IsBusy(*site);
                groupSiteBusy |= busy;
                anyBusy |= busy;
                anyIdle |= !busy;
            }
        } else if (CSite* site = AsSite(record)) {
            anySite = true;
            const bool busy = IsBusy(*site);
            selectedSiteBusy |= busy;
            anyBusy |= busy;
            anyIdle |= !busy;
        }
    }
    const bool oneSite = one && first && first->IsSite();
    const bool controllerActive =
        ControllerState() == kControllerRunning || ControllerState() == kControllerPaused;

    switch (id) {
    case cmd::SelectAll:
    case cmd::GroupNew:
    case cmd::SiteNew:
        state.enabled = true;
        break;
    case cmd::GroupRename:
        state.enabled = one && first && first->IsGroup();
        break;
    case cmd::GroupDelete:
        state.enabled = anyGroup && !groupSiteBusy;
        break;
    case cmd::SiteEdit:
    case cmd::SiteRename:
        state.enabled = oneSite && !IsBusy(*static_cast<const CSite*>(first));
        break;
    case cmd::SiteDelete:
        state.enabled = anySite && !selectedSiteBusy;
        break;
    case cmd::ViewWeb:
    case cmd::ViewQuarned:
    case cmd::DeleteQuarned:
    case cmd::Errors:
    case cmd::Log:
        state.enabled = oneSite;
        break;
    case cmd::Quarn:
        // Quarn also resumes a paused crawl.
        state.enabled = anyIdle || ControllerState() == kControllerPaused;
        break;
    case cmd::FetchMissing:
        state.enabled = anyIdle;
        break;
    case cmd::Pause:
        state.enabled = controllerActive;
        state.checked = ControllerState() == kControllerPaused;
        break;
    case cmd::Stop:
        state.enabled = selected.isEmpty() ? controllerActive : anyBusy;
        break;
    default:
        return false;
    }
    return true;
}

bool CSitesView::OnCommand(int id) {
    CCommandState state;
    if (!UpdateCommand(id, state))
        return false;
    if (!state.enabled)
        return true;
    switch (id) {
    case cmd::SelectAll:
        m_tree->SelectAll(true);
        break;
    case cmd::GroupNew:
        NewGroup();
        break;
    case cmd::GroupRename:
    case cmd::SiteRename:
        Rename();
        if (id == cmd::GroupRename)
            m_tree->ClearSelection();
        break;
    case cmd::GroupDelete:
        DeleteGroups();
        break;
    case cmd::SiteNew:
        NewSite();
        break;
    case cmd::SiteEdit:
        EditSite(CaretSite());
        break;
    case cmd::SiteDelete:
        DeleteSites();
        break;
    case cmd::ViewWeb:
        ViewWeb();
        break;
    case cmd::ViewQuarned:
        ViewQuarned();
        break;
    case cmd::DeleteQuarned:
        EraseContent();
        break;
    case cmd::Errors:
        if (CSite* site = FirstSelectedSite(); site && showErrors)
            showErrors(*site);
        break;
    case cmd::Log:
        if (CSite* site = FirstSelectedSite(); site && showLog)
            showLog(*site);
        break;
    case cmd::Quarn:
        StartSelected(kStartUpdate);
        if (ControllerState() == kControllerPaused) {
            OfferRenewedLogin();
            PostToController(WM_RESUME);
        }
        break;
    case cmd::FetchMissing:
        StartSelected(kStartFetchMissing);
        break;
    case cmd::Pause:
        if (ControllerState() == kControllerPaused)
            OfferRenewedLogin();
        PostToController(WM_PAUSE_RESUME);
        break;
    case cmd::Stop:
        StopSelected();
        break;
    default:
        break;
    }
    return true;
}

CSite* CSitesView::CaretSite() const {
    return AsSite(Record(m_tree->currentItem()));
}

CSite* CSitesView::FirstSelectedSite() const {
    return AsSite(Record(m_tree->GetFirstSelectedItem()));
}

// Posts message to the controller for each site item, and for each site of each group
// item, in the items' order.
void CSitesView::PostToEachSite(const QList<QTreeWidgetItem*>& items, unsigned message,
                                std::uintptr_t lParam) {
    std::vector<CSite*> sites;
    for (QTreeWidgetItem* item : items) {
        CSiteItem* record = Record(item);
        if (CSiteGroup* group = AsGroup(record)) {
            for (const auto& site : group->m_sites)
                sites.push_back(site.get());
        } else if (CSite* site = AsSite(record)) {
            sites.push_back(site);
        }
    }
    // Every site is prepared before the first post: a site listed twice (itself and its
    // group) is not written to while the controller may be starting it.
    if (message == WM_START_SITE)
        for (CSite* site : sites)
            PrepareStart(*site);
    for (CSite* site : sites)
        PostToController(message, site, lParam);
}

void CSitesView::PrepareStart(CSite& site) const {
    // The controller reads them when it starts the crawl; a site it holds already keeps
    // those it was queued with.
    if (IsBusy(site))
        return;
    site.SetStartCookies(site.m_useBrowserCookies && browserCookies ? browserCookies(site)
                                                                    : std::string());
}

void CSitesView::OfferRenewedLogin() const {
    // A crawl paused because its login expired goes on with the pane's new login.
    CSite* site = g_pController ? g_pController->GetCurrentSite() : nullptr;
    if (!site || !IsSiteInProject(site) || !site->LoginGuard().Expired() ||
        !site->m_useBrowserCookies || !browserCookies)
        return;
    site->OfferFreshCookies(browserCookies(*site));
}

void CSitesView::StartSelected(unsigned startKind) {
    // What happens to a site the controller already holds is the controller's business.
    PostToEachSite(m_tree->GetSelectedList(), WM_START_SITE, startKind);
}

void CSitesView::StopSelected() {
    // With nothing selected everything stops. A site may be told twice (itself and its
    // group); the controller ignores a site it does not hold.
    QList<QTreeWidgetItem*> items = m_tree->GetSelectedList();
    if (items.isEmpty())
        items = m_tree->GetAllItems();
    PostToEachSite(items, WM_STOP_SITE);
}

void CSitesView::NewGroup() {
    if (!g_pProject)
        return;
    auto group = std::make_unique<CSiteGroup>("Untitled");
    const int key = group->m_key;
    g_pProject->AddGroup(std::move(group));
    if (QTreeWidgetItem* item = FindItemByKey(key)) {
        m_tree->scrollToItem(item);
        StartLabelEdit(item, kLabelLimit);
    }
}

void CSitesView::NewSite() {
    if (!g_pProject)
        return;
    CSiteGroup* target = nullptr;
    if (CSiteItem* record = Record(m_tree->GetFirstSelectedItem()))
        target = record->IsGroup() ? static_cast<CSiteGroup*>(record)
                                   : static_cast<CSite*>(record)->m_group;
    if (!target) {
        auto group = std::make_unique<CSiteGroup>("Untitled");
        target = group.get();
        g_pProject->AddGroup(std::move(group));
    }
    auto site = std::make_unique<CSite>("Untitled");
    site->UseNewSiteDefaults();
    site->m_url = "http://";
    CSite* added = site.get();
    g_pProject->AddSite(std::move(site), *target);
    MakeCurrent(added);
    // The site stays even when its properties are cancelled.
    EditSite(added);
}

void CSitesView::MakeCurrent(CSite* site) {
    QTreeWidgetItem* item = FindItem(site);
    if (!item)
        return;
    m_tree->ClearSelection();
    m_tree->SetItemState(item, kSelectedCaret, kSelectedCaret);
    m_tree->scrollToItem(item);
    if (onShowSite)
        onShowSite(site);
}

void CSitesView::Rename() {
    m_tree->setFocus();
    QTreeWidgetItem* item = m_tree->GetFirstSelectedItem();
    CSiteItem* record = Record(item);
    if (!record)
        return;
    StartLabelEdit(item, kRenameLimit);
    // Counted as a change even when the edit is then cancelled.
    if (g_pProject)
        g_pProject->SetModified(true);
}

void CSitesView::DeleteGroups() {
    std::vector<CSiteGroup*> groups;
    for (QTreeWidgetItem* item : m_tree->GetSelectedList())
        if (CSiteGroup* group = AsGroup(Record(item)))
            groups.push_back(group);
    bool removed = false;
    for (CSiteGroup* group : groups)
        removed |= g_pProject->RemoveGroup(group, false);
    if (removed)
        RebuildTree();
}

void CSitesView::DeleteSites() {
    std::vector<CSite*> sites;
    std::int64_t files = 0;
    for (QTreeWidgetItem* item : m_tree->GetSelectedList()) {
        CSite* site = AsSite(Record(item));
        if (!site || IsBusy(*site))
            continue;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        files += StoredFileCount(site->GetSiteFolder());
        QApplication::restoreOverrideCursor();
        sites.push_back(site);
    }
    if (sites.empty() || !askDelete)
        return;
    const QString which = sites.size() == 1 ? ToQString(sites.front()->m_name)
                                            : QStringLiteral("%1 sites").arg(sites.size());
    QString question = QStringLiteral("Delete %1?").arg(which);
    if (files > 0) {
        const QString where = sites.size() == 1 ? ToQString(sites.front()->GetSiteFolder())
                                                : QStringLiteral("their folders");
        question += QStringLiteral("\n\n%1 stored %2 in %3 can stay on disk or be deleted too.")
                        .arg(QLocale().toString(qlonglong{files}),
                             files == 1 ? QStringLiteral("file") : QStringLiteral("files"), where);
    }
    const DeleteChoice choice = askDelete(question, files > 0);
    if (choice == DeleteChoice::Cancel)
        return;
    for (CSite* site : sites) {
        if (choice == DeleteChoice::DeleteFiles) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            site->EraseContent();
            QApplication::restoreOverrideCursor();
        }
        g_pProject->RemoveSite(site, false);
    }
    RebuildTree();
}

void CSitesView::EditSite(CSite* site) {
    if (!site || IsBusy(*site) || !editSite)
        return;
    if (editSite(*site) && g_pProject)
        g_pProject->Touch();
    if (FindItem(site)) {
        PostViewMessage(this, WM_SHOW_SITE, site);
        if (onSiteChanged)
            onSiteChanged(site);
    }
}

void CSitesView::EraseContent() {
    CSite* site = CaretSite();
    if (!site || !askQuestion)
        return;
    if (!askQuestion(QStringLiteral("Erase content for \"%1\"?").arg(ToQString(site->m_name))))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    site->EraseContent();
    QApplication::restoreOverrideCursor();
}

void CSitesView::ViewWeb() {
    CSite* site = CaretSite();
    if (!site || !navigate)
        return;
    CUrl address(nullptr, site->m_url, kLinkFollowed);
    address.user = site->m_id;
    address.password = site->m_password;
    navigate(ToQString(address.GetURL()));
}

void CSitesView::ViewQuarned() {
    CSite* site = CaretSite();
    if (!site || !navigate)
        return;
    // Where the crawl stored the start page, the default document standing in for no file.
    const std::string path = site->StartPagePath();
    if (path.empty())
        return;
    const QString onOrigin = copyAddress ? copyAddress(*site, path) : QString();
    navigate(onOrigin.isEmpty() ? ToQString(path) : onOrigin);
}

// ---------------------------------------------------------------------------------------
// Drag and drop

std::unique_ptr<QMimeData> CSitesView::CreateSiteData(const CSite& site) {
    std::ostringstream text;
    CXMLDocument::WriteXML(*site.WriteSettings(), text);
    QByteArray block = QByteArray::fromStdString(text.str());
    const qsizetype size = (block.size() / kBlockStep + 1) * kBlockStep;
    block.append(QByteArray(size - block.size(), '\0'));
    auto data = std::make_unique<QMimeData>();
    data->setData(kSiteMimeType, block);
    return data;
}

Qt::DropActions CSitesView::DragActions(const CSite& site) {
    if (IsBusy(site))
        return Qt::CopyAction;
    return Qt::CopyAction | Qt::MoveAction;
}

void CSitesView::OnBeginDrag(QTreeWidgetItem* item) {
    CSite* site = AsSite(Record(item));
    if (!site)
        return;
    const Qt::DropActions actions = DragActions(*site);
    auto* drag = new QDrag(m_tree);
    drag->setMimeData(CreateSiteData(*site).release());
    const Qt::DropAction done =
        drag->exec(actions, actions & Qt::MoveAction ? Qt::MoveAction : Qt::CopyAction);
    // The copy was added where it was dropped; the original goes. A site that became busy
    // meanwhile stays, as the controller holds it.
    if (done == Qt::MoveAction && IsSiteInProject(site) && !IsBusy(*site))
        g_pProject->RemoveSite(site, true);
}

bool CSitesView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tree->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
            OnDragEnter(static_cast<QDragEnterEvent*>(event));
            return true;
        case QEvent::DragMove:
            OnDragMove(static_cast<QDragMoveEvent*>(event));
            return true;
        case QEvent::DragLeave:
            m_tree->SetDropHighlight(nullptr);
            return true;
        case QEvent::Drop:
            OnDrop(static_cast<QDropEvent*>(event));
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CSitesView::OnDragEnter(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    Qt::DropAction action = Qt::IgnoreAction;
    if (data->hasFormat(kSiteMimeType))
        action = event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
    else if (OffersAddress(*data))
        action = Qt::CopyAction;
    action = Allowed(action, event->possibleActions());
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

Qt::DropAction CSitesView::DropTargetAt(const QDropEvent& event) {
    CSiteGroup* group = AsGroup(Record(HitItem(event.position().toPoint())));
    if (!group) {
        m_tree->SetDropHighlight(nullptr);
        return Qt::IgnoreAction;
    }
    m_tree->SetDropHighlight(FindItem(group));
    const Qt::DropAction wanted =
        event.modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
    return Allowed(wanted, event.possibleActions());
}

void CSitesView::OnDragMove(QDragMoveEvent* event) {
    const QMimeData* data = event->mimeData();
    const Qt::DropAction action =
        data->hasFormat(kSiteMimeType) || OffersAddress(*data) ? DropTargetAt(*event)
                                                              : Qt::IgnoreAction;
    if (action == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void CSitesView::OnDrop(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    const bool siteData = data->hasFormat(kSiteMimeType);
    const QString dropped = siteData ? QString() : DroppedAddress(*data);
    if (!siteData && dropped.isEmpty()) {
        event->ignore();
        return;
    }
    // Qt moves over the point before every drop; looking again makes the drop its own judge.
    const Qt::DropAction action = DropTargetAt(*event);
    CSiteGroup* group = AsGroup(Record(m_tree->GetDropHighlight()));
    if (action == Qt::IgnoreAction || !group || !g_pProject) {
        event->ignore();
        return;
    }
    std::unique_ptr<CSite> site;
    if (siteData) {
        // A fresh site from the settings: the key, figures, log and errors start anew.
        if (const auto element = DroppedElement(data->data(kSiteMimeType))) {
            site = std::make_unique<CSite>("Untitled");
            site->ReadSettings(*element);
            // A copy beside its original must not share its folder; a moved site keeps
            // its name, since the original goes once the drop is done.
            if (action == Qt::CopyAction) {
                site->m_name = g_pProject->UniqueSiteName(site->m_name);
                site->m_useContentDirectory = false;
                site->m_contentDirectory = site->GetSiteFolder();
            }
        }
    } else {
        const std::string address = dropped.toStdString();
        site = std::make_unique<CSite>(g_pProject->UniqueSiteName(SiteNameForAddress(address)));
        site->UseNewSiteDefaults();
        site->m_url = address;
    }
    if (site) {
        CSite* added = site.get();
        g_pProject->AddSite(std::move(site), *group);
        MakeCurrent(added);
    }
    event->setDropAction(action);
    event->accept();
}
