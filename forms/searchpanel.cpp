#include "searchpanel.h"
#include "appsettings.h"
#include "filter.h"
#include "filterlist.h"
#include "networkconstants.h"
#include "networkrequestcontext.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "ui_searchpanel.h"

#include <QKeyEvent>
#include <QResizeEvent>

namespace {

// The combo box keeps each filter's server id under Qt::UserRole and its local id here.
const int LocalIdRole = Qt::UserRole + 1;

// The login's stored filters in display order, in every state; the caller clears the list.
Entity::FilterList storedFilters()
{
    TavrelDataBaseQuery *query = TavrelApplication::currentDataBaseQuery();
    TavrelSynchronization *engine = TavrelApplication::currentSynchronization();
    if (!query || !engine)
        return Entity::FilterList();
    return query->filters(engine->currentLogin());
}

// The position of the user's choice among the filters: the filter with that server id; for a choice
// that had no server id yet, the one with that local id; else the last one with that name (letter case
// ignored); -1 when none. The id -1 of a filter never synchronized names no filter, and a Deleted
// filter is never a choice. A chosen filter that has a server id is not looked up by its local id: a
// list replaced by the service is stored under new local ids, which may name other filters.
int findChoice(const QList<Entity::Filter *> &filters, qint64 id, qint64 localId, const QString &name)
{
    const QString lowered = name.toLower();
    int byLocalId = -1;
    int byName = -1;
    for (int i = 0; i < filters.size(); ++i) {
        const Entity::Filter *filter = filters.at(i);
        if (filter->state == Entity::FilterList::Deleted)
            continue;
        if (id >= 0 && filter->id == id)
            return i;
        if (id < 0 && localId >= 0 && byLocalId < 0 && filter->localId == localId)
            byLocalId = i;
        if (!name.isEmpty() && filter->name.toLower() == lowered)
            byName = i;
    }
    return byLocalId >= 0 ? byLocalId : byName;
}

} // namespace

SearchPanel::SearchPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::SearchPanel)
{
    ui->setupUi(this);
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, &SearchPanel::tabChanged);
    ui->searchLineEdit->installEventFilter(this);
    ui->comboFilters->hide();
    ui->chkMorphology->setChecked(true);
    ui->pushButtonRestore->hide();
    ui->bottomFrame->hide();
    connect(ui->pushButtonMaximize, &QPushButton::released, this, &SearchPanel::maximizeButtonClicked);
    connect(ui->pushButtonRestore, &QPushButton::released, this, &SearchPanel::restoreButtonClicked);
    ui->label->hide();
    const QString version = AppSettings::shortVersion();
    ui->lbVersion->hide();
    ui->lbBeta->hide();
    ui->lbVersion->setText(ui->lbVersion->text().replace(QStringLiteral("%1"), version));
}

SearchPanel::~SearchPanel()
{
    // The tab widget may report a page change while the widgets go; the form is gone by then.
    ui->tabWidget->disconnect(this);
    delete ui;
}

NetworkRequestContext *SearchPanel::filtersListenerContext() const
{
    return filtersListener.data();
}

void SearchPanel::tabChanged(int index)
{
    if (index < 2) {
        ui->comboFilters->hide();
        ui->searchLineEdit->show();
        return;
    }
    refreshFilterCombo();
    ui->comboFilters->show();
    ui->searchLineEdit->hide();
}

void SearchPanel::refreshFilterCombo()
{
    Entity::FilterList stored = storedFilters();
    QComboBox *combo = ui->comboFilters;
    const bool hadChoice = combo->currentIndex() >= 0;
    const QString previousName = hadChoice ? combo->currentText() : QString();
    const qint64 previousId = hadChoice ? combo->currentData(Qt::UserRole).toLongLong() : -1;
    const qint64 previousLocalId = hadChoice ? combo->currentData(LocalIdRole).toLongLong() : -1;

    QList<Entity::Filter *> listed;
    for (Entity::Filter *filter : qAsConst(stored.items)) {
        if (filter->state != Entity::FilterList::Deleted)
            listed << filter;
    }
    combo->clear();
    for (const Entity::Filter *filter : qAsConst(listed)) {
        combo->addItem(QIcon(), filter->name, filter->id);
        combo->setItemData(combo->count() - 1, filter->localId, LocalIdRole);
    }
    const int choice = hadChoice ? findChoice(listed, previousId, previousLocalId, previousName) : -1;
    combo->setCurrentIndex(listed.isEmpty() ? -1 : qMax(choice, 0));
    stored.clear();
}

Entity::Filter *SearchPanel::selectedFilter()
{
    QComboBox *combo = ui->comboFilters;
    if (combo->currentIndex() < 0)
        return nullptr;
    Entity::FilterList stored = storedFilters();
    const int match = findChoice(stored.items, combo->currentData(Qt::UserRole).toLongLong(),
                                 combo->currentData(LocalIdRole).toLongLong(), combo->currentText());
    Entity::Filter *filter = match >= 0 ? stored.items.takeAt(match) : nullptr;
    stored.clear();
    return filter;
}

void SearchPanel::newFiltersEvent()
{
    newFiltersEvent(this);
}

void SearchPanel::newFiltersEvent(QObject *source)
{
    if (!source)
        return;
    // The object that sent the signal being delivered, whatever the argument says.
    const auto *context = qobject_cast<NetworkRequestContext *>(sender());
    if (context && context->result.contains(KEY_NOTIFY_BEFORE_SYNC))
        return;
    refreshFilterCombo();
}

void SearchPanel::maximizeButtonClicked()
{
    ui->pushButtonMaximize->hide();
    ui->pushButtonRestore->show();
}

void SearchPanel::restoreButtonClicked()
{
    ui->pushButtonRestore->hide();
    ui->pushButtonMaximize->show();
}

bool SearchPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->searchLineEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->buttonSearch->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int width = event->size().width();
    const QRect tabs = ui->tabWidget->geometry();
    ui->tabWidget->setGeometry(tabs.x(), tabs.y(), width - 4 - tabs.x(), tabs.height());
    const QRect row = ui->widget_3->geometry();
    ui->widget_3->setGeometry(row.x(), row.y(), ui->tabWidget->width(), row.height());
    ui->pushButtonClose->move(width - 25, 5);
    const int besideClose = width - 25 - ui->pushButtonClose->width();
    ui->pushButtonMaximize->move(besideClose, 5);
    ui->pushButtonRestore->move(besideClose, 5);
    ui->pushButtonMinimize->move(ui->pushButtonMaximize->x() - ui->pushButtonMaximize->width(), 5);
}

void SearchPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (filtersListener)
        return;
    TavrelSynchronization *engine = TavrelApplication::currentSynchronization();
    filtersListener = engine ? engine->addFiltersListener() : nullptr;
    if (filtersListener)
        connect(filtersListener.data(), &NetworkRequestContext::replyFinished, this,
                qOverload<QObject *>(&SearchPanel::newFiltersEvent));
}

void SearchPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // The engine drops a listener whose context is gone; the next show registers a new one.
    delete filtersListener.data();
}
