// The order detail page: closed and open access, contacts, documents, literal server text and the
// favourite link.
#include "../views/viewsfixture.h"
#include "detailedorderpanel.h"
#include "formtesthelpers.h"
#include "testapplication.h"
#include "urlpolicy.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTextDocument>

class TestDetailedOrderPanel : public QObject
{
    Q_OBJECT

    ViewsFixture fixture;

    static Entity::Order *order(bool fullAccess)
    {
        Entity::Order *record = realisticOrder(42, Entity::OrderList::New, QDateTime::currentDateTimeUtc());
        record->fullAccess = fullAccess;
        record->gosId = QStringLiteral("0173100");
        record->information = QStringLiteral("<b>bold</b> & %2");
        record->docNames = QStringLiteral("Извещение\nПроект");
        record->docUrls = QStringLiteral("http://docs.example/1\nfile:///etc/passwd");
        return record;
    }
    // The text of every document line, with "@" after a line that is a link.
    static QStringList documents(DetailedOrderPanel &panel)
    {
        QStringList lines;
        for (QLabel *line : child<QWidget>(&panel, "placeForDocs")->findChildren<QLabel *>())
            lines << line->text().section(QLatin1String("/> "), 1) + (line->text().contains("<a ") ? "@" : "");
        return lines;
    }

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { fixture.startSubscriber(); }
    void cleanup() { fixture.destroyEngine(); }

    void access_data()
    {
        QTest::addColumn<bool>("subscriber");
        QTest::addColumn<bool>("orderOpen");
        QTest::addColumn<QString>("govNumber");
        QTest::addColumn<QStringList>("docs");
        const QStringList closedDocs {QStringLiteral("Доступ закрыт")};
        const QStringList openDocs {QStringLiteral("<a href=\"http://docs.example/1\">Извещение</a>@"),
                                    QStringLiteral("Проект")};
        QTest::newRow("closed") << false << false << "Доступ закрыт" << closedDocs;
        QTest::newRow("open by the order") << false << true << "0173100" << openDocs;
        QTest::newRow("open by the subscriber") << true << false << "0173100" << openDocs;
    }
    void access()
    {
        QFETCH(bool, subscriber);
        QFETCH(bool, orderOpen);
        TavrelApplication::instance()->setFullAccess(subscriber);
        DetailedOrderPanel panel;
        QScopedPointer<Entity::Order> record(order(orderOpen));
        record->docNames = QStringLiteral("Старое\nЕщё\nИ ещё");
        panel.setOrder(record.data());
        delete record.take();
        record.reset(order(orderOpen));
        panel.setOrder(record.data());
        QTEST(child<QLabel>(&panel, "lbGovNumberValue")->text(), "govNumber");
        QTEST(documents(panel), "docs");
        // Always shown, and server text as text.
        QCOMPARE(child<QLabel>(&panel, "lbRegionValue")->text(), record->regionDisplayName());
        QVERIFY(child<QLabel>(&panel, "lbHeader")->text().contains(QStringLiteral("Заявка № 42")));
        if (orderOpen || subscriber) {
            QLabel *information = child<QLabel>(&panel, "lbOrderInfoValue");
            QCOMPARE(information->textFormat(), Qt::PlainText);
            QCOMPARE(information->text(), QStringLiteral("<b>bold</b> & %2"));
        }
        TavrelApplication::instance()->setFullAccess(false);
    }

    void contacts_data()
    {
        // Contact names and values (one a line), then the e-mail shown and the site, "<a " marking a link.
        for (const char *column : {"names", "values", "email", "site"})
            QTest::addColumn<QString>(column);
        const QString site = QStringLiteral("Адрес сайта (URL)");
        addTextRow(
            "case ignored, first wins",
            {"ЭЛЕКТРОННАЯ ПОЧТА\nэлектронная почта\n" + site, "a@b.ru\nc@d.ru\nx.ru", "a@b.ru", "<a http://x.ru"});
        addTextRow("value list ended", {"Факс\nЭлектронная почта", "1", "Нет данных", "Нет данных"});
        addTextRow("https stays", {site, "https://x", "Нет данных", "<a https://x"});
        addTextRow("capitals get the prefix", {site, "HTTP://x", "Нет данных", "<a http://HTTP://x"});
        addTextRow("no web address", {site, "javascript:x()", "Нет данных", "http://javascript:x()"});
        addTextRow("markup in a value", {"Электронная почта", "<i>x</i>", "<i>x</i>", "Нет данных"});
    }
    void contacts()
    {
        QScopedPointer<Entity::Order> record(order(true));
        QFETCH(QString, names);
        QFETCH(QString, values);
        record->contactNames = names;
        record->contactValues = values;
        DetailedOrderPanel panel;
        panel.setOrder(record.data());
        QLabel *email = child<QLabel>(&panel, "lbEMailValue");
        QTextDocument document;
        document.setHtml(email->text());
        QTEST(email->textFormat() == Qt::RichText ? document.toPlainText() : email->text(), "email");
        const QString siteText = child<QLabel>(&panel, "lbSiteUrlValue")->text();
        QFETCH(QString, site);
        if (site.startsWith(QLatin1String("<a ")))
            QVERIFY(siteText.contains(QStringLiteral("href=\"%1\"").arg(site.mid(3))));
        else
            QCOMPARE(siteText, site);
    }

    void favouriteLink()
    {
        fixture.storeRange(42, 1, Entity::OrderList::New);
        fixture.favour(42, Entity::FavouriteItemList::Deleted);
        QScopedPointer<Entity::Order> record(order(true));
        DetailedOrderPanel panel;
        panel.setOrder(record.data());
        QLabel *favourite = child<QLabel>(&panel, "lbFavourite");
        QSignalSpy changed(&panel, &DetailedOrderPanel::favouriteChanged);
        for (const int count : {1, 0}) {
            emit favourite->linkActivated(LINK_ADD_FAVOURITE);
            QCOMPARE(fixture.query->favouritesCount(fixture.login), count);
            QCOMPARE(favourite->text().contains(QStringLiteral("убрать из избранного")), count == 1);
        }
        QCOMPARE(changed.count(), 2);
        QVERIFY(panel.shownSiteUrl().endsWith(QStringLiteral("/order/42?session=")
                                              + UrlPolicy::sessionText(fixture.engine->sessionCookie())));
    }
};

TAVREL_TEST_MAIN(TestDetailedOrderPanel)
#include "tst_detailedorderpanel.moc"
