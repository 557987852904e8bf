#include "ordersresultpanel.h"

#include "appsettings.h"
#include "constants.h"
#include "formattedtextpatterns.h"
#include "order.h"
#include "orderslazycollection.h"
#include "ordertablerow.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "ui_formattedtextpatterns.h"
#include "ui_ordersresultpanel.h"
#include "ui_ordertablerow.h"
#include "viewordersmodel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>

OrdersResultPanel::OrdersResultPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_OrdersResultPanel)
{
    ui->setupUi(this);

    QTableView *table = ui->orderTable;
    table->setItemDelegate(&delegate);
    table->installEventFilter(this);
    connect(table, &QTableView::clicked, this, [this](const QModelIndex &index) { markViewed(index.row()); });

    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->setMinimumSectionSize(0);
    table->verticalHeader()->setMinimumHeight(0);
    table->setRowHeight(0, 1);
    table->verticalHeader()->resizeSection(0, 0);

    columnTimer.setSingleShot(true);
    columnTimer.setInterval(150);

    activeSortStyle = ui->lbSortById->styleSheet();
    inactiveSortStyle = ui->lbSortByDate->styleSheet();
    sortByDateTemplate = ui->lbSortByDate->text();
    sortByIdTemplate = ui->lbSortById->text();
    sortBySumTemplate = ui->lbSortBySum->text();

    connect(&columnTimer, &QTimer::timeout, this, &OrdersResultPanel::refreshColumnSize);
    for (QLabel *link : {ui->lbSortByDate, ui->lbSortById, ui->lbSortBySum, ui->lbDeleteAll})
        connect(link, &QLabel::linkActivated, this, &OrdersResultPanel::topLineLabelClicked);

    titleTemplate = ui->lblListName->text();
    ui->wgDeleteAllStub->hide();
    // The title is read out as shown (the list's name and its count); the description says what it is.
    ui->lblListName->setAccessibleDescription(tr("Список заявок"));
    table->setAccessibleName(tr("Заявки"));
    refreshTopLine();
}

OrdersResultPanel::~OrdersResultPanel()
{
    // The children go while the panel and its delegate are whole: the table uses the delegate to
    // release its row widgets, and the panel filters their events until they are gone.
    const QList<QWidget *> children = findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
    delete ui;
}

void OrdersResultPanel::setModel(ViewOrdersModel *model)
{
    ui->orderTable->setModel(model);
    delegate.model = model;
}

QTableView *OrdersResultPanel::tableView() const
{
    return ui->orderTable;
}

ViewOrdersModel *OrdersResultPanel::viewModel() const
{
    return qobject_cast<ViewOrdersModel *>(ui->orderTable->model());
}

int OrdersResultPanel::currentPage() const
{
    ViewOrdersModel *model = viewModel();
    return model ? model->currentPage() : 0;
}

void OrdersResultPanel::openPage(int page)
{
    ViewOrdersModel *model = viewModel();
    if (!model || model->currentPage() == page)
        return;
    // Shown, the editors refresh the model at once: one refresh is enough.
    if (isVisible())
        model->selectPage(page);
    else
        model->setCurrentPage(page);
    openRowEditors();
}

void OrdersResultPanel::openRowEditors()
{
    if (!isVisible()) {
        editorsPending = true;
        return;
    }
    editorsPending = false;
    ViewOrdersModel *model = viewModel();
    if (!model)
        return;
    model->refresh();
    QTableView *table = ui->orderTable;
    for (int i = 0; i < model->rowCount(); ++i) {
        const QModelIndex index = model->index(i, 0);
        table->openPersistentEditor(index);
        if (QWidget *editor = table->indexWidget(index)) {
            editor->installEventFilter(this);
            if (auto *row = qobject_cast<OrderTableRow *>(editor)) {
                row->ui->lbOrderTableNumber->installEventFilter(this);
                row->ui->lbFavourite->installEventFilter(this);
                row->ui->lbOrderTableName->installEventFilter(this);
            }
        }
        model->refreshRow(i);
    }
    table->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void OrdersResultPanel::setSortLinksVisible(bool visible)
{
    for (QWidget *link : {static_cast<QWidget *>(ui->lbSort), static_cast<QWidget *>(ui->lbSortByDate),
                          static_cast<QWidget *>(ui->lbSortById), static_cast<QWidget *>(ui->lbSortBySum),
                          static_cast<QWidget *>(ui->lbDeleteAll)})
        link->setVisible(visible);
    ui->wgDeleteAllStub->setVisible(!visible);
}

void OrdersResultPanel::refreshTopLine()
{
    const QString arrow = QStringLiteral("<img src=\"%1\" />")
                              .arg(ascending ? QStringLiteral(":/resources/sortArrowUp.png")
                                             : QStringLiteral(":/resources/sortArrowDown.png"));
    ui->lbSortByDate->setText(sortByDateTemplate.arg(QString()));
    ui->lbSortById->setText(sortByIdTemplate.arg(QString()));
    ui->lbSortBySum->setText(sortBySumTemplate.arg(QString()));
    for (QLabel *link : {ui->lbSortByDate, ui->lbSortById, ui->lbSortBySum})
        link->setStyleSheet(inactiveSortStyle);
    QLabel *active = sortKey == 1 ? ui->lbSortByDate : sortKey == 2 ? ui->lbSortBySum : ui->lbSortById;
    const QString &activeTemplate = sortKey == 1 ? sortByDateTemplate
        : sortKey == 2                           ? sortBySumTemplate
                                                 : sortByIdTemplate;
    if (sortKey >= 0 && sortKey <= 2) {
        active->setText(activeTemplate.arg(arrow));
        active->setStyleSheet(activeSortStyle);
    }
}

void OrdersResultPanel::topLineLabelClicked(const QString &link)
{
    if (link.contains(QLatin1String("delete"))) {
        emit deleteAllActivated();
        return;
    }
    const struct
    {
        const char *word;
        int key;
    } links[] = {{"ById", 0}, {"ByDate", 1}, {"BySum", 2}};
    for (const auto &candidate : links) {
        if (link.contains(QLatin1String(candidate.word))) {
            if (sortKey == candidate.key)
                ascending = !ascending;
            sortKey = candidate.key;
        }
    }
    refreshTopLine();
    emit sortChanged();
}

void OrdersResultPanel::setTitle(const QString &newTitle)
{
    listTitle = newTitle;
    setTitleCounter(QString());
}

void OrdersResultPanel::setTitleCounter(const QString &counter)
{
    counterText = counter;
    QString suffix;
    if (!counterText.isEmpty() && counterText != QLatin1String("0")) {
        suffix = QStringLiteral(" (%1)").arg(counterText);
    } else {
        ViewOrdersModel *model = viewModel();
        const int n = model && model->orderCollection() ? model->orderCollection()->count() : 0;
        if (n >= 1)
            suffix = QStringLiteral(" (%1)").arg(n);
    }
    ui->lblListName->setText(titleTemplate.arg((listTitle + suffix).toHtmlEscaped()));
}

void OrdersResultPanel::refreshColumnSize()
{
    ViewOrdersModel *model = delegate.model.data();
    if (!model)
        return;
    const int width = ui->orderTable->width() - 20;
    if (width == model->rowWidth)
        return;
    model->rowWidth = width;
    openRowEditors();
}

int OrdersResultPanel::rowOfEvent(QObject *watched) const
{
    for (QObject *object = watched; object && object != ui->orderTable; object = object->parent()) {
        if (auto *row = qobject_cast<OrderTableRow *>(object)) {
            bool isNumber = false;
            const int number = row->objectName().toInt(&isNumber);
            return isNumber ? number : -1;
        }
    }
    const QModelIndex current = ui->orderTable->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void OrdersResultPanel::cellClicked()
{
    const QModelIndex current = ui->orderTable->currentIndex();
    markViewed(current.isValid() ? current.row() : -1);
}

// Only a new order or a search result becomes viewed, in memory and in the database.
void OrdersResultPanel::markViewed(int row)
{
    ViewOrdersModel *model = delegate.model.data();
    OrdersLazyCollection *collection = model ? model->orderCollection() : nullptr;
    if (row < 0 || !collection || collection->count() == 0)
        return;
    Entity::Order *order = collection->orderAt(model->absoluteIndex(row));
    if (!order || (order->type != Entity::OrderList::New && order->type != Entity::OrderList::Search))
        return;
    order->type = Entity::OrderList::Viewed;
    TavrelApplication *app = TavrelApplication::instance();
    if (app && app->dataBaseQuery && app->synchronization)
        app->dataBaseQuery->saveOrdersWithType(app->synchronization->currentLogin(), {order}, nullptr);
    model->refreshRow(row);
}

bool OrdersResultPanel::eventFilter(QObject *watched, QEvent *event)
{
    bool inTable = false;
    if (watched->isWidgetType()) {
        for (QObject *object = watched; object && !inTable; object = object->parent())
            inTable = object == ui->orderTable;
    } else {
        inTable = watched == ui->orderTable;
    }
    if (inTable) {
        if (event->type() == QEvent::MouseButtonRelease) {
            markViewed(rowOfEvent(watched));
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
                markViewed(rowOfEvent(watched));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void OrdersResultPanel::resizeEvent(QResizeEvent *event)
{
    adjustPagerGeometry();
    columnTimer.start();
    QWidget::resizeEvent(event);
}

void OrdersResultPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshColumnSize();
    if (editorsPending)
        openRowEditors();
}

// --- the page-link strip ----------------------------------------------------------------------------

QList<QLabel *> OrdersResultPanel::pagerItems() const
{
    return pagerLinks;
}

void OrdersResultPanel::setPagesInfo(int centerPage, int total, int pageSize, int currentPage)
{
    pagerCenter = centerPage;
    pagerTotal = total;
    pagerPageSize = pageSize;
    // A link may be the one whose activation is being delivered: hide it now, delete it later.
    for (QLabel *link : qAsConst(pagerLinks)) {
        link->hide();
        link->deleteLater();
    }
    pagerLinks.clear();
    if (total <= 0)
        return;

    const int size = qMax(1, pageSize);
    const int L = (total - 1) / size;
    const int P = L + 1;
    const int W = qMax(1, AppSettings::pagerLinkCount());
    const int half = (W - 1) / 2;
    const int E = qMin(qMax(centerPage - half, 0) + W - 1, L);
    const int S = qMax(E - (W - 1), 0);
    pagerCenter = S + half;
    const int J1 = S / 4;
    const int J2 = S / 2;
    const int J3 = (S + S / 2) / 2;
    const int M1 = (L + E) / 2;
    const int M2 = (L + M1) / 2;
    const int M3 = (E + M1) / 2;
    const int K1 = qMax(M3, E + 1);
    const int K2 = qMax(K1, M1);
    const int K3 = qMax(K2, M2);

    const QString dots = QStringLiteral("..");
    auto number = [](int page) { return QString::number(page + 1); };
    QPoint position(0, 0);
    auto add = [&](int page, const QString &text) {
        pagerLinks.append(createPagerItem(ui->pager, position, currentPage, page, text));
    };
    add(0, QStringLiteral("1"));
    if (J1 != 0 && J1 < L && J1 < J2)
        add(J1, J2 != 2 ? dots : number(J1));
    if (J2 != 0 && J2 < L)
        add(J2, number(J2));
    if (J2 < J3 && J3 < L)
        add(J3, S - J2 > 2 ? dots : number(J3));
    for (int i = qMax(S, J3 + 1); i <= E; ++i) {
        if (i != 0)
            add(i, number(i));
    }
    if (K1 < L && K1 < K2)
        add(K1, K2 - E > 2 ? dots : number(K1));
    if (K2 < L)
        add(K2, number(K2));
    if (K2 < K3 && K3 < L)
        add(K3, L - K2 > 2 ? dots : number(K3));
    if (P > 1 && L > E)
        add(L, number(L));

    int width = 0;
    for (QLabel *link : qAsConst(pagerLinks))
        width += link->width();
    ui->pager->setFixedSize(width, 20);
    ui->pager->setMinimumWidth(width);
    adjustPagerGeometry();
}

QLabel *OrdersResultPanel::createPagerItem(QWidget *parent, QPoint &position, int currentPage, int page,
                                           const QString &text)
{
    auto *link = new QLabel(parent);
    link->setText(FormattedTextPatterns::instance()->formatPagerItem->text().arg(text));
    link->setAlignment(Qt::AlignCenter);
    link->setObjectName(QString::number(page));
    link->setMargin(5);
    link->adjustSize();
    link->setFixedSize(link->size());
    link->setGeometry(QRect(position, link->size()));
    link->show();
    position.rx() += link->width();
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    // Read out as shown ("5", ".."); the description tells which page a link leads to.
    link->setAccessibleDescription(tr("Страница %1").arg(page + 1));
    if (page == currentPage)
        setPagerItemCurrent(link);
    else
        setPagerItemNormal(link);
    connect(link, &QLabel::linkActivated, this, &OrdersResultPanel::internalPageActivated);
    setTitleCounter(QString());
    return link;
}

void OrdersResultPanel::adjustPagerGeometry()
{
    QWidget *parentWidget = ui->pagerParent;
    const int width = ui->pager->width() + 15;
    parentWidget->setMinimumWidth(width);
    parentWidget->setFixedWidth(width);
    parentWidget->setGeometry(parentWidget->x(), parentWidget->y(), parentWidget->minimumWidth(), ui->pager->height());
    ui->pager->setGeometry(0, 0, ui->pager->width(), ui->pager->height());
    if (QWidget *bar = parentWidget->parentWidget()) {
        if (bar->layout())
            bar->layout()->update();
        bar->update();
    }
}

void OrdersResultPanel::internalPageActivated()
{
    const int page = sender() ? sender()->objectName().toInt() : 0;
    setPagesInfo(page, pagerTotal, pagerPageSize, page);
    emit pageActivated(page);
}

void OrdersResultPanel::recentreOnSender()
{
    const int page = sender() ? sender()->objectName().toInt() : 0;
    setPagesInfo(page, pagerTotal, pagerPageSize, currentPage());
}

void OrdersResultPanel::internalNextPageOfPageActivated()
{
    recentreOnSender();
}

void OrdersResultPanel::internalPrevPageOfPageActivated()
{
    recentreOnSender();
}
