// The order detail page: closed and open access, contacts, documents, literal server text and the
// favourite link.
#include "../views/viewsfixture.h"
#include "detailedorderpanel.h"
#include "formtesthelpers.h"
#include "testapplication.h"
#include "urlpolicy.h"

#include <QLabel>
#include <QSignalSpy>

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
        record->orderSourceUri = QStringLiteral("https://source.example/42");
        return record;
    }
    // A label's text as it is shown: rich text read as the user reads it, plain text as it is.
    static QString shown(const QLabel *label)
    {
        return label->textFormat() == Qt::RichText ? plainText(label) : label->text();
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

    void page_data()
    {
        // Paid access ("1": the subscriber's, the order's), contact names and values (one a line); then the state
        // number, the document lines ("@" after a link), the e-mail, the site ("<a " marking a link) and the
        // order's source.
        for (const char *column : {"subscriber", "open", "names", "values", "gov", "docs", "email", "site", "source"})
            QTest::addColumn<QString>(column);
        const QString site = QStringLiteral("Адрес сайта (URL)");
        const QString docs = QStringLiteral("<a href=\"http://docs.example/1\">Извещение</a>@|Проект");
        const QString none = QStringLiteral("Нет данных");
        const QString source = QStringLiteral("https://source.example/42");
        addTextRow("closed",
                   {"0", "0", site, "x.ru", "Доступ закрыт", "Доступ закрыт", "Доступ закрыт", "Доступ закрыт", ""});
        addTextRow("open by the order, case ignored, first wins",
                   {"0", "1", "ЭЛЕКТРОННАЯ ПОЧТА\nэлектронная почта\n" + site, "a@b.ru\nc@d.ru\nx.ru", "0173100", docs,
                    "a@b.ru", "<a http://x.ru", source});
        addTextRow("open by the subscriber, https stays",
                   {"1", "0", site, "https://x", "0173100", docs, none, "<a https://x", source});
        addTextRow("value list ended", {"0", "1", "Факс\nЭлектронная почта", "1", "0173100", docs, none, none, source});
        addTextRow("capitals get the prefix",
                   {"0", "1", site, "HTTP://x", "0173100", docs, none, "<a http://HTTP://x", source});
        addTextRow("no web address",
                   {"0", "1", site, "javascript:x()", "0173100", docs, none, "http://javascript:x()", source});
        addTextRow("markup in a value",
                   {"0", "1", "Электронная почта", "<i>x</i>", "0173100", docs, "<i>x</i>", none, source});
    }

    void page()
    {
        QFETCH(QString, subscriber);
        QFETCH(QString, open);
        TavrelApplication::instance()->setFullAccess(subscriber == "1");
        DetailedOrderPanel panel;
        // An open page shown before, with more documents and a source that is no web address.
        QScopedPointer<Entity::Order> record(order(true));
        record->docNames = QStringLiteral("Старое\nЕщё\nИ ещё");
        record->orderSourceUri = QStringLiteral("ЕИС, извещение 0173100");
        panel.setOrder(record.data());
        record.reset(order(open == "1"));
        QFETCH(QString, names);
        QFETCH(QString, values);
        record->contactNames = names;
        record->contactValues = values;
        panel.setOrder(record.data());
        TavrelApplication::instance()->setFullAccess(false);
        QTEST(child<QLabel>(&panel, "lbGovNumberValue")->text(), "gov");
        QTEST(documents(panel).join('|'), "docs");
        QTEST(shown(child<QLabel>(&panel, "lbEMailValue")), "email");
        QTEST(shown(child<QLabel>(&panel, "lbOrderUrlValue")), "source");
        const QString siteText = child<QLabel>(&panel, "lbSiteUrlValue")->text();
        QFETCH(QString, site);
        if (site.startsWith(QLatin1String("<a ")))
            QVERIFY(siteText.contains(QStringLiteral("href=\"%1\"").arg(site.mid(3))));
        else
            QCOMPARE(siteText, site);
        // Always shown, and server text as text.
        QVERIFY(child<QLabel>(&panel, "lbHeader")->text().contains(QStringLiteral("Заявка № 42")));
        if (open == "1" || subscriber == "1") {
            QCOMPARE(child<QLabel>(&panel, "lbOrderInfoValue")->textFormat(), Qt::PlainText);
            QCOMPARE(child<QLabel>(&panel, "lbOrderInfoValue")->text(), QStringLiteral("<b>bold</b> & %2"));
        }
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
