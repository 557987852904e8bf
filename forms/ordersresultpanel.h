#ifndef ORDERSRESULTPANEL_H
#define ORDERSRESULTPANEL_H

#include "htmldelegate.h"

#include <QLabel>
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QTableView;
class ViewOrdersModel;
class Ui_OrdersResultPanel;

// One page of an order list on screen: the title with its count, the sort links, the delete-all link,
// the page-link strip and the table whose rows are order widgets. A click on the row of a new order
// (or of a search result) marks it viewed. The owning paginator binds the model and listens to the
// three signals.
class OrdersResultPanel : public QWidget
{
    Q_OBJECT

public:
    explicit OrdersResultPanel(QWidget *parent = nullptr);
    ~OrdersResultPanel() override;

    void setModel(ViewOrdersModel *model);
    QTableView *tableView() const;
    ViewOrdersModel *viewModel() const;
    int currentPage() const;
    void openPage(int page);
    void openRowEditors();
    void setSortLinksVisible(bool visible);
    void refreshTopLine();
    void setTitle(const QString &newTitle);
    QString title() const { return listTitle; }
    void setTitleCounter(const QString &counter);

    // The page-link strip.
    void setPagesInfo(int centerPage, int total, int pageSize, int currentPage);
    int pagerCenterPage() const { return pagerCenter; }
    QLabel *createPagerItem(QWidget *parent, QPoint &position, int currentPage, int page, const QString &text);
    void adjustPagerGeometry();
    // The links of the strip, left to right.
    QList<QLabel *> pagerItems() const;

    HTMLDelegate delegate;
    int sortKey = 0;
    bool ascending = true;
    Ui_OrdersResultPanel *ui;

signals:
    void pageActivated(int index);
    void sortChanged();
    void deleteAllActivated();

public slots:
    void topLineLabelClicked(const QString &link);
    void internalPageActivated();
    void internalNextPageOfPageActivated();
    void internalPrevPageOfPageActivated();
    void cellClicked();
    void refreshColumnSize();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The row of the page a click or key came from: the row widget it happened in, else the view's
    // valid current index; -1 when neither says.
    int rowOfEvent(QObject *watched) const;
    void markViewed(int row);
    void recentreOnSender();

    QString titleTemplate;
    QString listTitle;
    QString counterText;
    QString sortByIdTemplate;
    QString sortByDateTemplate;
    QString sortBySumTemplate;
    QString activeSortStyle;
    QString inactiveSortStyle;
    int pagerCenter = 0;
    int pagerTotal = 0;
    int pagerPageSize = 0;
    bool editorsPending = true;
    QTimer columnTimer;
    QList<QLabel *> pagerLinks;
};

#endif // ORDERSRESULTPANEL_H
