// The search header: Enter in the search line, the filter combo box kept in step with the database
// and with the filters listener, the chosen filter, and the window buttons after a resize.
#include "syncfixture.h"
#include "filter.h"
#include "filterlist.h"
#include "formtesthelpers.h"
#include "searchpanel.h"
#include "testapplication.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class TestSearchPanel : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    QString login;

    // Stores exactly these filters, each "server id|name|state"; the list replaces the login's.
    void storeFilters(const QStringList &filters)
    {
        Entity::FilterList list;
        for (const QString &text : filters) {
            auto *filter = new Entity::Filter();
            filter->id = text.section('|', 0, 0).toLongLong();
            filter->name = text.section('|', 1, 1);
            filter->state = Entity::FilterList::stringToState(text.section('|', 2, 2));
            filter->displayOrder = list.items.size();
            list.items << filter;
        }
        QVERIFY(fixture.query->saveFilters(login, list, true));
        list.clear();
    }

    static QString items(const QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts.join('|');
    }

    // A filters notice as the engine sends it, through the panel's listener.
    static void notify(SearchPanel &panel, const QString &key)
    {
        NetworkRequestContext *listener = panel.filtersListenerContext();
        QVERIFY(listener);
        listener->result.insert(key, true);
        NetworkRequestContext::emitReplyFinished(listener, listener);
        listener->result.remove(key);
    }

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(login));
    }
    void cleanup() { fixture.destroyEngine(); }

    void enterClicksSearch_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("clicks");
        QTest::newRow("return, empty line") << 0 << int(Qt::Key_Return) << "" << 1;
        QTest::newRow("keypad enter in the archive") << 1 << int(Qt::Key_Enter) << "abc" << 1;
        QTest::newRow("return in the combo box") << 2 << int(Qt::Key_Return) << "" << 0;
    }

    void enterClicksSearch()
    {
        QFETCH(int, tab);
        QFETCH(int, key);
        QFETCH(QString, text);
        SearchPanel panel;
        panel.show();
        child<QTabWidget>(&panel, "tabWidget")->setCurrentIndex(tab);
        auto *line = child<QLineEdit>(&panel, "searchLineEdit");
        line->setText(text);
        QSignalSpy clicks(child<QPushButton>(&panel, "buttonSearch"), &QPushButton::clicked);
        QSignalSpy reached(line, &QLineEdit::returnPressed);
        QTest::keyClick(tab < 2 ? static_cast<QWidget *>(line) : child<QComboBox>(&panel, "comboFilters"),
                        Qt::Key(key));
        QTEST(int(clicks.count()), "clicks");
        QCOMPARE(reached.count(), 0);
        QCOMPARE(line->isVisible(), tab < 2);
        QCOMPARE(line->text(), text);
    }

    void comboKeepsTheChoice_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("choose");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("refill");
        QTest::addColumn<QString>("items");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("selected");
        const QStringList ab {"5|A|Sync", "6|B|Sync"};
        QTest::newRow("first fill") << ab << "" << ab << true << "A|B"
                                    << "A"
                                    << "A";
        QTest::newRow("renamed elsewhere: by id")
            << ab << "B" << QStringList {"5|A|Sync", "6|Бета|Sync"} << true << "A|Бета"
            << "Бета"
            << "Бета";
        QTest::newRow("new ids: by name, case ignored") << QStringList {"5|A|Sync", "6|Beta|Sync"} << "Beta"
                                                        << QStringList {"15|A|Sync", "16|BETA|Sync"} << true << "A|BETA"
                                                        << "BETA"
                                                        << "BETA";
        QTest::newRow("deleted never listed") << QStringList {"5|A|Sync", "6|B|Deleted", "7|C|Sync"} << "C"
                                              << QStringList {"5|A|Sync", "6|B|Deleted", "7|C|Sync"} << true << "A|C"
                                              << "C"
                                              << "C";
        QTest::newRow("never synchronized") << QStringList {"-1|Один|New", "-1|Два|New"} << "Один"
                                            << QStringList {"-1|Один|New", "-1|Два|New"} << true << "Один|Два"
                                            << "Один"
                                            << "Один";
        QTest::newRow("chosen one deleted, not refilled")
            << ab << "B" << QStringList {"5|A|Sync", "6|B|Deleted"} << false << "A|B"
            << "B"
            << "";
        QTest::newRow("chosen one deleted, refilled")
            << ab << "B" << QStringList {"5|A|Sync", "6|B|Deleted"} << true << "A"
            << "A"
            << "A";
        QTest::newRow("no filters") << QStringList {} << "" << QStringList {} << true << ""
                                    << ""
                                    << "";
    }

    void comboKeepsTheChoice()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, choose);
        QFETCH(QStringList, after);
        storeFilters(before);
        SearchPanel panel;
        panel.show();
        auto *combo = child<QComboBox>(&panel, "comboFilters");
        child<QTabWidget>(&panel, "tabWidget")->setCurrentIndex(2);
        QVERIFY(combo->isVisible());
        if (!choose.isEmpty())
            combo->setCurrentIndex(combo->findText(choose));
        storeFilters(after);
        QFETCH(bool, refill);
        if (refill)
            notify(panel, KEY_NOTIFY_AFTER_SYNC);
        QTEST(items(combo), "items");
        QTEST(combo->currentText(), "current");
        std::unique_ptr<Entity::Filter> selected(panel.selectedFilter());
        QTEST(selected ? selected->name : QString(), "selected");
        QVERIFY(!selected || selected->state != Entity::FilterList::Deleted);
    }

    void listenerLivesWhileShown()
    {
        storeFilters({"5|A|Sync"});
        SearchPanel panel;
        QVERIFY(!panel.filtersListenerContext());
        panel.show();
        QPointer<NetworkRequestContext> first = panel.filtersListenerContext();
        QVERIFY(first);
        QShowEvent again; // a second show without a hide in between (a window coming back from the tray)
        QApplication::sendEvent(&panel, &again);
        QCOMPARE(panel.filtersListenerContext(), first.data());

        auto *combo = child<QComboBox>(&panel, "comboFilters");
        storeFilters({"5|A|Sync", "6|B|Sync"});
        notify(panel, KEY_NOTIFY_BEFORE_SYNC);
        QCOMPARE(combo->count(), 0);
        notify(panel, KEY_NOTIFY_AFTER_SYNC);
        QCOMPARE(items(combo), QStringLiteral("A|B"));

        panel.hide();
        QVERIFY(!first);
        QVERIFY(!panel.filtersListenerContext());
        panel.show();
        QVERIFY(panel.filtersListenerContext());
    }

    void buttonsFollowTheWidth_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("1000") << 1000 << false;
        QTest::newRow("1280, maximized") << 1280 << true;
    }

    void buttonsFollowTheWidth()
    {
        QFETCH(int, width);
        QFETCH(bool, maximized);
        SearchPanel panel;
        panel.show();
        auto *maximize = child<QPushButton>(&panel, "pushButtonMaximize");
        auto *restore = child<QPushButton>(&panel, "pushButtonRestore");
        if (maximized)
            QTest::mouseClick(maximize, Qt::LeftButton);
        QCOMPARE(maximize->isVisible(), !maximized);
        QCOMPARE(restore->isVisible(), maximized);
        panel.resize(width, 95);
        QCOMPARE(child<QPushButton>(&panel, "pushButtonClose")->pos(), QPoint(width - 25, 5));
        QCOMPARE(maximize->pos(), QPoint(width - 45, 5));
        QCOMPARE(restore->pos(), maximize->pos());
        QCOMPARE(child<QPushButton>(&panel, "pushButtonMinimize")->pos(), QPoint(width - 65, 5));
        QCOMPARE(child<QTabWidget>(&panel, "tabWidget")->geometry().right(), width - 5);
        QCOMPARE(child<QWidget>(&panel, "widget_3")->width(), child<QTabWidget>(&panel, "tabWidget")->width());
        if (maximized) {
            QTest::mouseClick(restore, Qt::LeftButton);
            QVERIFY(maximize->isVisible() && !restore->isVisible());
        }
    }
};

TAVREL_TEST_MAIN(TestSearchPanel)
#include "tst_searchpanel.moc"
