#include "htmldelegate.h"

#include "constants.h"
#include "favouriteitem.h"
#include "formattedtextpatterns.h"
#include "order.h"
#include "orderslazycollection.h"
#include "ordertablerow.h"
#include "ordertablerowheader.h"
#include "tavrelapplication.h"
#include "tavrelsynchronization.h"
#include "ui_formattedtextpatterns.h"
#include "ui_ordertablerow.h"
#include "ui_ordertablerowheader.h"
#include "urlpolicy.h"
#include "viewordersmodel.h"

#include <QCoreApplication>
#include <QLayout>
#include <QPainter>

namespace {

const QColor VIEWED_ROW_TINT(245, 246, 221);

// A row released from a page is kept for the next page: building the widgets, parsing their style
// sheets and laying out the design texts costs more than filling them again.
const int MAX_SPARE_ROWS = 40;

// The design texts of the order row, read once from a row built for that purpose.
struct RowTemplates
{
    QString lbCloseTimeValue, lbOpenTimeValue, lbOrderSumValue, lbOrderTableName, lbOrderTableBranch,
        lbOrderTableNumber, lbGotoSite;
};

const RowTemplates &rowTemplates()
{
    static const RowTemplates templates = [] {
        OrderTableRow row;
        const Ui_OrderTableRow *ui = row.ui;
        return RowTemplates {ui->lbCloseTimeValue->text(),   ui->lbOpenTimeValue->text(),
                             ui->lbOrderSumValue->text(),    ui->lbOrderTableName->text(),
                             ui->lbOrderTableBranch->text(), ui->lbOrderTableNumber->text(),
                             ui->lbGotoSite->text()};
    }();
    return templates;
}

QString dateText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

QString sessionText()
{
    TavrelApplication *app = TavrelApplication::instance();
    return app && app->synchronization ? UrlPolicy::sessionText(app->synchronization->sessionCookie()) : QString();
}

// Qt recomputes a layout only when it is activated, which it defers to the event loop and skips for
// a hidden widget. A row from the spare pool would be measured with the texts and the width it had
// on its last page, so its inner layouts are brought up to date first, innermost first.
void activateLayouts(QWidget *row)
{
    const QList<QWidget *> inner = row->findChildren<QWidget *>();
    for (auto it = inner.crbegin(); it != inner.crend(); ++it) {
        if (QLayout *layout = (*it)->layout())
            layout->activate();
    }
}

void sizeRow(QWidget *row, ViewOrdersModel *model, int r)
{
    row->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    row->setMaximumWidth(model->rowWidth);
    row->setMinimumWidth(model->rowWidth);
    row->setFixedWidth(model->rowWidth);
    activateLayouts(row);
    row->adjustSize();
    if (r >= 0)
        model->rowSizes[r] = row->size();
}

} // namespace

HTMLDelegate::HTMLDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

QWidget *HTMLDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    ViewOrdersModel *m = model.data();
    const int r = index.row();
    if (!m)
        return nullptr;
    while (r >= m->rowSizes.size())
        m->rowSizes.append(QSize(-1, -1));
    if (r >= 0)
        m->rowSizes[r] = QSize(-1, -1);
    if (index.column() > 0)
        return nullptr;
    OrdersLazyCollection *collection = m->orderCollection();
    if (!collection || collection->count() == 0) {
        auto *header = new OrderTableRowHeader(parent);
        updateHeaderRow(header, m);
        sizeRow(header, m, r);
        return header;
    }
    QWidget *row = createOrderRow(parent, r);
    if (row)
        sizeRow(row, m, r);
    return row;
}

// Every value from the service is escaped and each template is filled in one pass, so neither markup
// nor a "%2" in an order's text can become part of the row's own rich text.
QWidget *HTMLDelegate::createOrderRow(QWidget *parent, int r) const
{
    ViewOrdersModel *m = model.data();
    const int a = m->absoluteIndex(r);
    Entity::Order *order = m->orderCollection()->orderAt(a);
    if (!order)
        return nullptr;

    OrderTableRow *row = spareRow(parent);
    Ui_OrderTableRow *ui = row->ui;
    const RowTemplates &t = rowTemplates();

    const QString starTemplate = FormattedTextPatterns::instance()->formatOrderTableAddFav->text();
    const QList<Entity::FavouriteItem *> &favourites = m->favouriteItems().items;
    const Entity::FavouriteItem *favourite = a < favourites.size() ? favourites.at(a) : nullptr;
    if (favourite && favourite->state != Entity::FavouriteItemList::Deleted)
        ui->lbFavourite->setText(starTemplate.arg(QStringLiteral("favouriteFullyStar"), LINK_FAVOURITE_DEL));
    else
        ui->lbFavourite->setText(starTemplate.arg(QStringLiteral("favouriteEmptyStar"), LINK_FAVOURITE_ADD));

    ui->lbCloseTimeValue->setText(t.lbCloseTimeValue.arg(dateText(order->closingTime)));
    ui->lbOpenTimeValue->setText(t.lbOpenTimeValue.arg(dateText(order->openingTime)));
    ui->lbOrderSumValue->setText(
        t.lbOrderSumValue.arg((order->amount + QLatin1Char(' ') + order->currencyName).toHtmlEscaped(),
                              order->placementMethod.toHtmlEscaped()));
    ui->lbOrderTableName->setText(t.lbOrderTableName.arg(order->name.toHtmlEscaped(), LINK_ORDER_READ));
    ui->lbOrderTableBranch->setText(t.lbOrderTableBranch.arg(order->branch.toHtmlEscaped()));
    ui->lbOrderTableRegion->setTextFormat(Qt::PlainText);
    ui->lbOrderTableRegion->setText(order->region + QLatin1Char(' '));
    ui->lbOrderTableNumber->setText(t.lbOrderTableNumber.arg(order->id));
    if (UrlPolicy::isBrowserUrl(order->url)) {
        const QUrl site = UrlPolicy::withSessionItem(order->url, sessionText());
        ui->lbGotoSite->setText(t.lbGotoSite.arg(site.toString(QUrl::FullyEncoded).toHtmlEscaped()));
    } else {
        ui->lbGotoSite->clear();
    }
    ui->lbGotoSite->setAccessibleName(QCoreApplication::translate("HTMLDelegate", "Заявка на сайте"));
    ui->lbFavourite->setAccessibleName(favourite && favourite->state != Entity::FavouriteItemList::Deleted
                                           ? QCoreApplication::translate("HTMLDelegate", "Убрать из избранного")
                                           : QCoreApplication::translate("HTMLDelegate", "В избранное"));

    row->setObjectName(QString::number(r));
    QObject::connect(ui->lbFavourite, &QLabel::linkActivated, m, &ViewOrdersModel::rowActionActivated);
    QObject::connect(ui->lbGotoSite, &QLabel::linkActivated, m, &ViewOrdersModel::rowActionActivated);
    QObject::connect(ui->lbOrderTableName, &QLabel::linkActivated, m, &ViewOrdersModel::rowActionActivated);
    return row;
}

OrderTableRow *HTMLDelegate::spareRow(QWidget *parent) const
{
    for (int i = spareRows.size() - 1; i >= 0; --i) {
        OrderTableRow *row = spareRows.at(i).data();
        if (!row || row->parentWidget() == parent)
            spareRows.removeAt(i);
        if (row && row->parentWidget() == parent)
            return row;
    }
    return new OrderTableRow(parent);
}

void HTMLDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    auto *row = qobject_cast<OrderTableRow *>(editor);
    if (!row || !row->parentWidget() || spareRows.size() >= MAX_SPARE_ROWS) {
        QStyledItemDelegate::destroyEditor(editor, index);
        return;
    }
    row->hide();
    for (QLabel *label : {row->ui->lbFavourite, row->ui->lbGotoSite, row->ui->lbOrderTableName})
        label->disconnect(SIGNAL(linkActivated(QString)));
    spareRows.append(row);
}

void HTMLDelegate::updateHeaderRow(QWidget *header, ViewOrdersModel *model)
{
    auto *row = qobject_cast<OrderTableRowHeader *>(header);
    if (!row || !model)
        return;
    Ui_OrderTableRowHeader *ui = row->ui;
    ui->retranslateUi(row);
    const int p = model->currentPage();
    const int s = model->pageSize;
    const int n = model->orderCollection() ? model->orderCollection()->count() : 0;
    const int first = s * p + 1;
    const int last = qMin((p + 1) * s - 1, n - 1) + 1;
    const QString range = QCoreApplication::translate("HTMLDelegate", "(показ с %1 по %2)").arg(first).arg(last);
    ui->lbTotalOrders->setText(ui->lbTotalOrders->text().arg(QString::number(n), range));
    ui->lbLoading->hide();
    ui->lbNoOrders->setVisible(!model->loading && n == 0);
    ui->lbTotalOrders->setVisible(n > 0);
    const bool titles = !model->loading && n > 0;
    ui->lbOpenTime->setVisible(titles);
    ui->lbCloseTime->setVisible(titles);
    ui->lbOrderSum->setVisible(titles);
}

void HTMLDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    ViewOrdersModel *m = model.data();
    OrdersLazyCollection *collection = m ? m->orderCollection() : nullptr;
    if (!collection || collection->count() == 0)
        return;
    painter->save();
    const Entity::Order *order = collection->orderAt(m->absoluteIndex(index.row()));
    if (order && order->type != Entity::OrderList::New && order->type != Entity::OrderList::Search)
        painter->fillRect(opt.rect, QBrush(VIEWED_ROW_TINT, Qt::SolidPattern));
    painter->restore();
}

QSize HTMLDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const int r = index.row();
    if (r < 0)
        return QSize(-1, -1);
    ViewOrdersModel *m = model.data();
    if (m && r < m->rowSizes.size() && m->rowSizes.at(r).isValid())
        return m->rowSizes.at(r);
    QWidget *editor = createEditor(nullptr, option, index);
    if (!editor)
        return QSize(1, 1);
    editor->deleteLater();
    return editor->geometry().size();
}
