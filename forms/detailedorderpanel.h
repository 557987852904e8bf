#ifndef DETAILEDORDERPANEL_H
#define DETAILEDORDERPANEL_H

#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class Ui_DetailedOrderPanel;

namespace Entity {
class FavouriteItem;
class Order;
} // namespace Entity

// The page that shows one order in full. Fields the subscriber may not see read "Доступ закрыт"; the
// documents are listed as links; the favourite link toggles the order through the synchronization
// engine and the site link goes to the main window's browser opening. The caller keeps the order it
// hands to setOrder().
class DetailedOrderPanel : public QWidget
{
    Q_OBJECT

public:
    explicit DetailedOrderPanel(QWidget *parent = nullptr);
    ~DetailedOrderPanel() override;

    void setOrder(const Entity::Order *order);
    void hideLoadingLabel();
    void showLoadingLabel();
    // Fills one contact row: the value whose name matches the caption (ignoring case), "Нет данных"
    // when there is none; with site set the value becomes a link when it is a web address.
    static void setFieldText(QLabel *caption, QLabel *value, QStringList names, QStringList values, bool site);

    qint64 shownOrderId() const { return orderId; }
    QString shownSiteUrl() const { return siteUrl; }

    Ui_DetailedOrderPanel *ui;

signals:
    void favouriteChanged();

public slots:
    void favouriteClick();
    void gotoSiteClick();

private:
    void fillDocuments(const Entity::Order *order, bool closed);
    void setFavouriteText(bool isFavourite);

    Entity::FavouriteItem *favouriteItem = nullptr;
    qint64 orderId = 0;
    QString siteUrl;
    QString favouriteTemplate;
    QString loadingText;
    bool loadingHidden = true;
};

#endif // DETAILEDORDERPANEL_H
