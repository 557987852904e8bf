// The filter panel's working list, its saving and its part in the filters synchronization; the
// controls are in filterspanelcontrols.cpp.
#include "filterspanel.h"
#include "ui_filterspanel.h"

#include "constants.h"
#include "editablelistfilterwrapper.h"
#include "filter.h"
#include "networkrequestcontext.h"
#include "synctasktype.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QHideEvent>
#include <QMessageLogger>
#include <QShowEvent>

#include <algorithm>

namespace {

TavrelSynchronization *engine()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app ? app->synchronization.data() : nullptr;
}

TavrelDataBaseQuery *databaseQuery()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app ? app->dataBaseQuery.data() : nullptr;
}

// The name made unique among `names` (letter case ignored) by the list editor's numbering rule.
QString uniqueAmong(const QStringList &names, const QString &name)
{
    EditableListFilterWrapper scratch;
    scratch.name = name;
    EditableListFilterWrapper *unique = scratch.uniqueName(names, name);
    const QString result = unique ? unique->name : name;
    delete unique;
    return result;
}

} // namespace

FiltersPanel::FiltersPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FiltersPanel)
{
    ui->setupUi(this);
    setDateControlsVisible(false);

    connect(ui->btnFilters, &QPushButton::clicked, this, &FiltersPanel::openListEditor);
    connect(ui->cbFilter, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FiltersPanel::filterComboChanged);
    connect(ui->cbOrderType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &FiltersPanel::orderTypeComboChanged);
    connect(ui->cbSearchArea, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &FiltersPanel::searchAreaComboChanged);
    for (QCheckBox *box :
         {ui->chkAllWordsRequired, ui->chkEasyPurchase, ui->chkElectronicAuction, ui->chkSubscriptionEnabled,
          ui->chkOpenCompetition, ui->chkPreselection, ui->chkPrice, ui->chkWithMorphology})
        connect(box, &QCheckBox::clicked, this, &FiltersPanel::checkBoxChanged);
    connect(ui->btnBranches, &QPushButton::clicked, this, &FiltersPanel::branchesClick);
    connect(ui->btnRegions, &QPushButton::clicked, this, &FiltersPanel::regionsClick);
    connect(ui->edExceptionWords, &QLineEdit::editingFinished, this, &FiltersPanel::wordsExceptionChanged);
    connect(ui->edKeyWord, &QLineEdit::editingFinished, this, &FiltersPanel::keyWordChanged);
    connect(ui->spinAmountOrdersFrom, &QDoubleSpinBox::editingFinished, this, &FiltersPanel::amountOrdersFromChanged);
    connect(ui->spinAmountOrdersTo, &QDoubleSpinBox::editingFinished, this, &FiltersPanel::amountOrdersToChanged);
    for (QDateEdit *edit :
         {ui->dateTimeClosingFrom, ui->dateTimeClosingTo, ui->dateTimeOpeningFrom, ui->dateTimeOpeningTo})
        connect(edit, &QDateEdit::dateTimeChanged, this, &FiltersPanel::dateFieldsChanged);
    connect(ui->btnSave, &QPushButton::clicked, this, &FiltersPanel::mainSaveButtonClick);
    connect(&listEditor, &FilterListEditorDialog::saveClick, this, &FiltersPanel::listSaveClick);
    connect(&listEditor, &FilterListEditorDialog::goClick, this, &FiltersPanel::listGoClick);
    for (QPushButton *button :
         {ui->btnCloseDateFromConf, ui->btnCloseDateToConf, ui->btnOpenDateFromConf, ui->btnOpenDateToConf})
        connect(button, &QPushButton::clicked, this, &FiltersPanel::dateTimeEditButtonClick);
    connect(ui->btnCloseSubItem, &QToolButton::clicked, this, &FiltersPanel::closePressed);
    connect(ui->btnClearAll, &QToolButton::clicked, this, &FiltersPanel::clearAllPressed);

    regionsForm.linkType = Entity::FilterLinkList::Region;
    branchesForm.linkType = Entity::FilterLinkList::Branch;

    ownFilterList = new Entity::FilterList(nullptr);
    workingList = ownFilterList;

    headerTemplate = ui->lbFiltersHeader->text();
    // The "закрыть" composite is laid out for one font; with another the word would be cut off.
    ui->label_5->adjustSize();
    ui->label_4->move(qMax(ui->label_4->x(), ui->label_5->geometry().right() + 4), ui->label_4->y());
    ui->btnCloseSubItem->resize(qMax(ui->btnCloseSubItem->width(), ui->label_4->geometry().right() + 3),
                                qMax(ui->btnCloseSubItem->height(), ui->label_5->geometry().bottom() + 4));
    ui->btnClose->setMinimumWidth(qMax(ui->btnClose->minimumWidth(), ui->btnCloseSubItem->width() + 5));
    // The form's title is a template; shown as it is, the filters page would read "%1".
    ui->lbFiltersHeader->setText(headerTemplate.arg(tr("Фильтры")));
    branchesCountText = ui->lbSelectBranchesCount->text();
    regionsCountText = ui->lbSelectRegionsCount->text();

    reloadFilters(workingList, true);

    saveTimer.setInterval(4000);
    saveTimer.setSingleShot(true);
    connect(&saveTimer, &QTimer::timeout, this, &FiltersPanel::saveTimerTick);
    deferTimer.setInterval(500);
    connect(&deferTimer, &QTimer::timeout, this, QOverload<>::of(&FiltersPanel::newFiltersEvent));
}

FiltersPanel::~FiltersPanel()
{
    // A quit with the window open sends the panel no hide: what is typed and pending is stored here.
    if (!advancedMode) {
        commitControls();
        saveChanges();
        storeForOwner();
    }
    // The controls outlive this part of the panel: the field that loses the focus when the window goes
    // would finish its edit on a half-destroyed panel.
    for (QWidget *control : findChildren<QWidget *>())
        control->disconnect(this);
    delete filtersListener.data();
    if (ownFilterList)
        ownFilterList->clear();
    delete ownFilterList.data();
    delete ui;
}

int FiltersPanel::filterCount() const
{
    return workingList ? workingList->items.size() : 0;
}

Entity::Filter *FiltersPanel::filterAt(int index) const
{
    return index >= 0 && index < filterCount() ? workingList->items.at(index) : nullptr;
}

// --- saving --------------------------------------------------------------------------------------

void FiltersPanel::saveTimerTick()
{
    saveChanges();
}

void FiltersPanel::saveChanges()
{
    saveTimer.stop();
    if (!modified)
        return;
    QMessageLogger logger("forms\\FiltersPanel", 0, "void FiltersPanel::saveChanges()", "default");
    for (int i = 0; i < filterCount(); ++i) {
        const Entity::Filter *filter = filterAt(i);
        logger.debug() << "saveChanges" << i << filter->name << filter->localId << filter->displayOrder;
    }
    if (!advancedMode) {
        TavrelSynchronization *sync = engine();
        // A refused write keeps everything, Deleted records included, for the next trigger. The list
        // read for one subscriber is never stored for another.
        if (!sync || (!listLogin.isEmpty() && sync->currentLogin() != listLogin)
            || !sync->filterChanged(Entity::FilterList(*workingList)))
            return;
        if (leftUnsaved) {
            // The page was left while the edits could not be stored: they go out as leaving sends them.
            leftUnsaved = false;
            syncReloadAllowed = true;
        }
    }
    removeDeletedFilters();
    modified = false;
    emit filtersSaved();
}

void FiltersPanel::storeForOwner()
{
    // The program quits at the login form a refused session brought up: kept in memory, the edits would
    // be lost for good. Stored for their own subscriber, they go out at that subscriber's next login like
    // any stored change. Another subscriber logged in by now is given nothing: a reload drops them too.
    TavrelDataBaseQuery *db = databaseQuery();
    TavrelSynchronization *sync = engine();
    if (modified && !listLogin.isEmpty() && db && sync && sync->currentLogin().isEmpty())
        db->saveFilters(listLogin, *workingList, false);
}

void FiltersPanel::setModified(bool value)
{
    modified = value;
    if (value)
        markChanged();
}

void FiltersPanel::markChanged()
{
    ui->btnSave->setEnabled(true);
    // A field the focus leaves as the window goes (a refused session hides it for the login form)
    // finishes its edit before the hide reaches the panel: that edit is committed as the hide's own.
    if (quietCommit || !staysOnScreen()) {
        // No editor and no reload now: the entry only takes a name of its own.
        Entity::Filter *filter = currentFilter();
        if (!advancedMode && filter && filter->changed) {
            const QString name = numberedName(filter);
            quietlyNamed = quietlyNamed || name != filter->name;
            filter->name = name;
        }
        return;
    }
    // The advanced search keeps its criteria in the one record it shows.
    if (!advancedMode && createNewFilter(currentFilter())) {
        showFilter();
        listEditor.titleOverride = tr("Дайте название новому фильтру");
        openListEditor();
        listEditor.titleOverride.clear();
    }
    saveTimer.start();
}

QString FiltersPanel::numberedName(const Entity::Filter *filter) const
{
    QStringList names {FilterListEditorDialog::newFilterName()};
    for (const Entity::Filter *other : qAsConst(workingList->items)) {
        if (other != filter)
            names << other->name;
    }
    return uniqueAmong(names, filter->name);
}

bool FiltersPanel::createNewFilter(Entity::Filter *filter)
{
    if (!filter || !filter->changed)
        return false;
    const QString name = numberedName(filter);
    if (name == filter->name)
        return false;
    filter->name = name;
    prepareForReload(false);
    reloadFilters(workingList, false);
    readFiltersFromDatabase(!advancedMode);
    return true;
}

// --- the working list ----------------------------------------------------------------------------

void FiltersPanel::loadFilters(Entity::FilterList *list, const QString &newFilterName, bool selectFirst)
{
    if (!list)
        return;
    auto *entry = new Entity::Filter;
    entry->changed = false;
    QString baseName = FilterListEditorDialog::newFilterName();
    if (!newFilterName.isEmpty()) {
        baseName = newFilterName;
        entry->setChanged(true);
    }
    int smallest = -1;
    QStringList names;
    for (const Entity::Filter *filter : qAsConst(list->items)) {
        smallest = qMin(smallest, filter->displayOrder);
        names << filter->name;
        if (filter->name.compare(baseName, Qt::CaseInsensitive) == 0) {
            delete entry;
            return;
        }
    }
    entry->resetSearchCriteria();
    entry->name = uniqueAmong(names, baseName);
    entry->localId = -1;
    entry->displayOrder = smallest - 1;
    list->items.insert(0, entry);
    if (selectFirst)
        selectFilter(0);
}

void FiltersPanel::reloadFilters(Entity::FilterList *list, bool selectFirst)
{
    loadFilters(list, QString(), selectFirst);
}

void FiltersPanel::selectFilter(int index)
{
    const int row = qBound(0, index, qMax(0, filterCount() - 1));
    if (row == currentRow)
        return;
    saveChanges();
    currentRow = row;
    showFilter();
}

void FiltersPanel::readFiltersFromDatabase(bool fromDatabase)
{
    const qint64 localId = rememberedLocalId;
    const qint64 serverId = rememberedId;
    const qint64 displayOrder = rememberedDisplayOrder;
    rememberedLocalId = rememberedId = rememberedDisplayOrder = -1;

    // Edits a refused write left pending stay in memory; the list is read again once they are stored.
    // Those of a subscriber who has given way to another are dropped: they belong to nobody here.
    TavrelDataBaseQuery *db = databaseQuery();
    TavrelSynchronization *sync = engine();
    const QString login = sync ? sync->currentLogin() : QString();
    const bool othersList = !login.isEmpty() && !listLogin.isEmpty() && login != listLogin;
    if (fromDatabase && (!modified || othersList) && db && sync) {
        workingList->clear();
        Entity::FilterList stored = db->filters(login);
        workingList->items = stored.items;
        stored.items.clear();
        listLogin = login;
        modified = leftUnsaved = false;
        saveTimer.stop();
    }
    removeDeletedFilters();
    reloadFilters(workingList, false);
    const int previousRow = currentRow;
    currentRow = -1;

    // A filter the service knows is found by its id: local ids are only unique among stored rows.
    const auto find = [this](auto matches) {
        for (int i = 0; i < filterCount(); ++i) {
            if (matches(filterAt(i)))
                return i;
        }
        return -1;
    };
    int row = -1;
    if (serverId >= 0)
        row = find([serverId](const Entity::Filter *f) { return f->id == serverId; });
    if (row < 0 && localId >= 0)
        row = find([localId](const Entity::Filter *f) { return f->localId == localId; });
    if (row < 0 && displayOrder >= 0)
        row = find([displayOrder](const Entity::Filter *f) { return f->displayOrder == displayOrder; });
    selectFilter(row >= 0 ? row : previousRow);
}

void FiltersPanel::rereadFilters()
{
    readFiltersFromDatabase(true);
}

void FiltersPanel::removeDeletedFilters()
{
    const QList<Entity::Filter *> copy = workingList->items;
    for (Entity::Filter *filter : copy) {
        if (filter->state != Entity::FilterList::Deleted)
            continue;
        workingList->items.removeAll(filter);
        delete filter;
    }
}

// --- the synchronization protocol ----------------------------------------------------------------

bool FiltersPanel::prepareForReload(bool onSyncRequest)
{
    if (onSyncRequest) {
        if (anyDialogVisible())
            return false;
        if (isVisible()) {
            if (!syncReloadAllowed)
                return false;
            syncReloadAllowed = false;
            reloadAfterSync = true;
            ui->btnSave->setEnabled(false);
        }
    }
    saveChanges();
    rememberedId = rememberedLocalId = -1;
    if (const Entity::Filter *filter = currentFilter()) {
        rememberedLocalId = filter->localId;
        rememberedId = filter->id;
        rememberedDisplayOrder = filter->displayOrder;
    }
    return true;
}

void FiltersPanel::newFiltersEvent()
{
    newFiltersEvent(nullptr);
}

void FiltersPanel::newFiltersEvent(QObject *source)
{
    if (!source && sender() != &deferTimer)
        return;
    if (advancedMode) {
        deferTimer.start();
        return;
    }
    auto *notice = qobject_cast<NetworkRequestContext *>(sender());
    if (notice && notice->result.contains(KEY_NOTIFY_BEFORE_SYNC)) {
        if (!prepareForReload(true))
            notice->result.insert(KEY_DELAY_SYNC, QVariant());
        return;
    }
    adoptStoredIds();
    if (isVisible() && !reloadAfterShow && !reloadAfterSync)
        return;
    if (modalDepth > 0) {
        // The records a dialog works on must outlive it: the reload waits for its end.
        reloadPending = true;
        return;
    }
    reloadAfterShow = false;
    reloadAfterSync = false;
    reloadAfterNotice();
}

void FiltersPanel::adoptStoredIds()
{
    // A push may have given a record its server id since it was read, whether or not the panel saw the
    // synchronization start: written back as it is, the record would make the service create the filter
    // a second time, and an edit of it would keep it New.
    const auto unsynced = [](const Entity::Filter *filter) {
        return filter->localId >= 0 && (filter->changed || filter->id < 0 || filter->state == Entity::FilterList::New);
    };
    TavrelDataBaseQuery *db = databaseQuery();
    TavrelSynchronization *sync = engine();
    if (!db || !sync || std::none_of(workingList->items.cbegin(), workingList->items.cend(), unsynced))
        return;
    Entity::FilterList stored = db->filters(sync->currentLogin());
    for (Entity::Filter *filter : qAsConst(workingList->items)) {
        if (!unsynced(filter))
            continue;
        for (const Entity::Filter *row : qAsConst(stored.items)) {
            if (row->localId != filter->localId)
                continue;
            if (row->id >= 0 && filter->id < 0)
                filter->id = row->id;
            const bool known = row->state == Entity::FilterList::Sync || row->state == Entity::FilterList::Edited;
            if (known && filter->state != Entity::FilterList::Deleted)
                filter->state = filter->changed ? Entity::FilterList::Edited : row->state;
            break;
        }
    }
    stored.clear();
}

void FiltersPanel::reloadAfterNotice()
{
    // What is being typed goes into the filter first, and the filter shown now is the one shown again.
    commitControls();
    prepareForReload(false);
    readFiltersFromDatabase(true);
}

void FiltersPanel::resumeSyncReload()
{
    newFiltersEvent(this);
    if (!advancedMode)
        deferTimer.stop();
}

int FiltersPanel::runModal(QDialog &dialog)
{
    ++modalDepth;
    const int result = dialog.exec();
    --modalDepth;
    return result;
}

bool FiltersPanel::staysOnScreen() const
{
    // A hide marks the widget it hides at once, the panel inside it only when its hide event comes.
    return isVisible() && isVisibleTo(window()) && !window()->isHidden();
}

bool FiltersPanel::anyDialogVisible() const
{
    return modalDepth > 0 || listEditor.isVisible() || regionsForm.isVisible() || branchesForm.isVisible()
        || wordsForm.isVisible();
}

void FiltersPanel::finishPendingReload()
{
    if (modalDepth > 0 || !reloadPending)
        return;
    reloadPending = false;
    reloadAfterShow = false;
    reloadAfterSync = false;
    reloadAfterNotice();
}

// --- the list editor -----------------------------------------------------------------------------

void FiltersPanel::openListEditor()
{
    saveChanges();
    listEditor.clearFilters();
    for (const Entity::Filter *filter : qAsConst(workingList->items)) {
        auto *entry = new EditableListFilterWrapper;
        entry->localId = filter->localId;
        entry->displayOrder = filter->displayOrder;
        entry->id = filter->id;
        entry->name = filter->name;
        listEditor.filters.append(entry);
    }
    listEditor.setStartRow(currentRow);
    runModal(listEditor);
    finishPendingReload();
}

void FiltersPanel::listSaveClick()
{
    prepareForReload(false);
    QList<QPair<Entity::Filter *, EditableListFilterWrapper *>> taken;
    for (EditableListFilterWrapper *entry : qAsConst(listEditor.filters)) {
        if (!entry->changed)
            continue;
        Entity::Filter *filter = nullptr;
        for (Entity::Filter *candidate : qAsConst(workingList->items)) {
            if (candidate->localId == entry->copyOfLocalId || candidate->localId == entry->localId) {
                filter = candidate;
                break;
            }
        }
        if (entry->copyOfLocalId != -3) {
            auto *copy = new Entity::Filter;
            if (filter)
                copy->fromVariantMap(filter->toVariantMap());
            else
                copy->resetSearchCriteria();
            copy->state = Entity::FilterList::New;
            copy->localId = -1;
            workingList->items.append(copy);
            filter = copy;
        }
        if (!filter)
            continue;
        filter->displayOrder = int(entry->displayOrder);
        if (filter->name != entry->name) {
            filter->name = entry->name;
            filter->setChanged(true);
        } else {
            filter->changed = true;
        }
        modified = true;
        if (entry->deleted)
            filter->state = Entity::FilterList::Deleted;
        taken.append(qMakePair(filter, entry));
    }
    if (modified)
        ui->btnSave->setEnabled(true);
    saveChanges();
    for (const auto &pair : qAsConst(taken)) {
        if (workingList->items.contains(pair.first))
            pair.second->localId = pair.first->localId;
    }
    readFiltersFromDatabase(!advancedMode);
}

void FiltersPanel::listGoClick()
{
    const int row = listEditor.currentRow();
    const QList<EditableListFilterWrapper *> &shown = listEditor.shownEntries();
    if (row < 0 || row >= shown.size())
        return;
    const qint64 localId = shown.at(row)->localId;
    for (int i = 0; i < filterCount(); ++i) {
        if (filterAt(i)->localId == localId) {
            selectFilter(i);
            return;
        }
    }
}

void FiltersPanel::clearAllPressed()
{
    if (advancedMode) {
        // The advanced search works on one record: clearing empties its criteria.
        if (Entity::Filter *filter = currentFilter()) {
            filter->resetSearchCriteria();
            showFilter();
        }
        return;
    }
    selectFilter(0);
}

// --- show and hide -------------------------------------------------------------------------------

void FiltersPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    reloadAfterShow = true;
    syncReloadAllowed = false;
    ui->btnClose->setVisible(advancedMode);
    ui->btnClearAll->setVisible(advancedMode);
    for (QWidget *widget : {static_cast<QWidget *>(ui->btnSave), static_cast<QWidget *>(ui->hline),
                            static_cast<QWidget *>(ui->btnFilters), static_cast<QWidget *>(ui->cbFilter),
                            static_cast<QWidget *>(ui->label_13), static_cast<QWidget *>(ui->chkSubscriptionEnabled)})
        widget->setVisible(!advancedMode);
    ui->btnSave->setEnabled(false);
    // The list is read at the engine's first delivery; an edit made before it belongs to the subscriber
    // the page is shown to, as long as nothing pending or read is somebody else's.
    TavrelSynchronization *sync = engine();
    const auto stored = [](const Entity::Filter *filter) { return filter->localId >= 0; };
    if (!advancedMode && sync && !modified
        && std::none_of(workingList->items.cbegin(), workingList->items.cend(), stored))
        listLogin = sync->currentLogin();
    if (filtersListener)
        return;
    if (sync) {
        filtersListener = sync->addFiltersListener();
        if (filtersListener)
            connect(filtersListener, &NetworkRequestContext::replyFinished, this,
                    QOverload<QObject *>::of(&FiltersPanel::newFiltersEvent));
    }
    setDateControlsVisible(advancedMode);
}

void FiltersPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    delete filtersListener.data();
    const bool named = commitControls();
    saveChanges();
    leftUnsaved = modified;
    if (named && !modified) {
        // The entry that became a filter of its own keeps being shown; a fresh entry heads the list.
        const int before = filterCount();
        reloadFilters(workingList, false);
        if (filterCount() > before)
            ++currentRow;
        showFilter();
    }
}
