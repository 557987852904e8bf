// The search header: Enter in the search line, the window buttons, and the
// filter combo box kept in step with the database and with the filters
// listener.
#include "filter.h"
#include "filterlist.h"
#include "formtesthelpers.h"
#include "searchpanel.h"
#include "syncfixture.h"
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

    // Makes the login's stored filters exactly these, each "server
    // id|name|state", separated by blanks.
    void storeFilters(const QString &filters)
    {
        Entity::FilterList list;
        for (const QString &text : filters.split(' ', Qt::SkipEmptyParts)) {
            list.items << new Entity::Filter();
            list.items.last()->id = text.section('|', 0, 0).toLongLong();
            list.items.last()->name = text.section('|', 1, 1);
            list.items.last()->state = Entity::FilterList::stringToState(text.section('|', 2));
            list.items.last()->displayOrder = list.items.size();
        }
        QVERIFY(fixture.query->saveFilters(login, list, true));
        list.clear();
    }

    // A filters notice through the panel's listener, as the engine sends it.
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

    void enterSearchesAndWindowButtonsFollowTheWidth()
    {
        SearchPanel panel;
        panel.show();
        auto *line = child<QLineEdit>(&panel, "searchLineEdit");
        QSignalSpy clicks(child<QPushButton>(&panel, "buttonSearch"), &QPushButton::clicked);
        QSignalSpy reached(line, &QLineEdit::returnPressed);
        QTest::keyClick(line, Qt::Key_Return);
        QTest::keyClick(line, Qt::Key_Enter);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(reached.count(), 0);
        // In the saved-search tab the combo box takes the line's place, and Return
        // there does not search.
        child<QTabWidget>(&panel, "tabWidget")->setCurrentIndex(2);
        QVERIFY(!line->isVisible());
        QTest::keyClick(child<QComboBox>(&panel, "comboFilters"), Qt::Key_Return);
        QCOMPARE(clicks.count(), 2);

        // The window buttons stay in a row at the right edge, maximize and restore taking turns.
        auto *maximize = child<QPushButton>(&panel, "pushButtonMaximize");
        auto *restore = child<QPushButton>(&panel, "pushButtonRestore");
        for (const int width : {1000, 1280}) {
            if (width == 1280)
                QTest::mouseClick(maximize, Qt::LeftButton);
            QCOMPARE(restore->isVisible(), width == 1280);
            QCOMPARE(maximize->isVisible(), width != 1280);
            panel.resize(width, 95);
            QCOMPARE(child<QPushButton>(&panel, "pushButtonClose")->pos(), QPoint(width - 25, 5));
            QCOMPARE(maximize->pos(), QPoint(width - 45, 5));
            QCOMPARE(restore->pos(), maximize->pos());
            QCOMPARE(child<QPushButton>(&panel, "pushButtonMinimize")->pos(), QPoint(width - 65, 5));
            QCOMPARE(child<QTabWidget>(&panel, "tabWidget")->geometry().right(), width - 5);
            QCOMPARE(child<QWidget>(&panel, "widget_3")->width(), child<QTabWidget>(&panel, "tabWidget")->width());
        }
        QTest::mouseClick(restore, Qt::LeftButton);
        QVERIFY(maximize->isVisible() && !restore->isVisible());
    }

    void comboKeepsTheChoice_data()
    {
        // Stored filters, the user's choice, the filters stored later, whether a
        // notice refilled the combo box; then its items, its current item and the
        // name of the selected filter.
        for (const char *column : {"before", "choose", "after", "refill", "items", "current", "selected"})
            QTest::addColumn<QString>(column);
        const QString ab = QStringLiteral("5|A|Sync 6|B|Sync");
        addTextRow("renamed elsewhere: by id", {ab, "B", "5|A|Sync 6|Бета|Sync", "1", "A Бета", "Бета", "Бета"});
        addTextRow("new ids: by name, case ignored",
                   {"5|A|Sync 6|Beta|Sync", "Beta", "15|A|Sync 16|BETA|Sync", "1", "A BETA", "BETA", "BETA"});
        addTextRow("deleted never listed", {"5|A|Sync 6|B|Deleted 7|C|Sync", "C", "", "1", "A C", "C", "C"});
        addTextRow("never synchronized", {"-1|Один|New -1|Два|New", "Один", "", "1", "Один Два", "Один", "Один"});
        addTextRow("chosen one deleted, not refilled", {ab, "B", "5|A|Sync 6|B|Deleted", "0", "A B", "B", ""});
        addTextRow("chosen one deleted, refilled", {ab, "B", "5|A|Sync 6|B|Deleted", "1", "A", "A", "A"});
        addTextRow("no filters", {"", "", "", "1", "", "", ""});
    }

    void comboKeepsTheChoice()
    {
        QFETCH(QString, before);
        QFETCH(QString, choose);
        QFETCH(QString, after);
        QFETCH(QString, refill);
        storeFilters(before);
        SearchPanel panel;
        panel.show();
        auto *combo = child<QComboBox>(&panel, "comboFilters");
        child<QTabWidget>(&panel, "tabWidget")->setCurrentIndex(2);
        QVERIFY(combo->isVisible());
        if (!choose.isEmpty())
            combo->setCurrentIndex(combo->findText(choose));
        if (!after.isEmpty())
            storeFilters(after);
        if (refill == "1")
            notify(panel, KEY_NOTIFY_AFTER_SYNC);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QTEST(items.join(' '), "items");
        QTEST(combo->currentText(), "current");
        std::unique_ptr<Entity::Filter> selected(panel.selectedFilter());
        QTEST(selected ? selected->name : QString(), "selected");
        QVERIFY(!selected || selected->state != Entity::FilterList::Deleted);
    }

    void listenerLivesWhileShown()
    {
        SearchPanel panel;
        QVERIFY(!panel.filtersListenerContext());
        panel.show();
        QPointer<NetworkRequestContext> first = panel.filtersListenerContext();
        QShowEvent again; // a second show without a hide between (a window coming
                          // back from the tray)
        QApplication::sendEvent(&panel, &again);
        QVERIFY(first && panel.filtersListenerContext() == first);
        storeFilters("5|A|Sync");
        notify(panel, KEY_NOTIFY_BEFORE_SYNC);
        QCOMPARE(child<QComboBox>(&panel, "comboFilters")->count(), 0);
        notify(panel, KEY_NOTIFY_AFTER_SYNC);
        QCOMPARE(child<QComboBox>(&panel, "comboFilters")->count(), 1);
        panel.hide();
        QVERIFY(!first && !panel.filtersListenerContext());
        panel.show();
        QVERIFY(panel.filtersListenerContext());
    }
};

TAVREL_TEST_MAIN(TestSearchPanel)
#include "tst_searchpanel.moc"
