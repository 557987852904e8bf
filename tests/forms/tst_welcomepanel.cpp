#include "appsettings.h"
#include "clock.h"
#include "formtesthelpers.h"
#include "testapplication.h"
#include "welcomepanel.h"

#include <QLabel>
#include <QTextDocument>
#include <QtTest>

// The welcome page: the greeting, the date in Russian and the status line.
class TestWelcomePanel : public QObject
{
    Q_OBJECT

    // The message as the user reads it, and its rich text.
    static QString shown(WelcomePanel &panel, QString *html = nullptr)
    {
        QTextDocument document;
        document.setHtml(child<QLabel>(&panel, "lbMessage")->text());
        if (html)
            *html = child<QLabel>(&panel, "lbMessage")->text();
        return document.toPlainText().simplified();
    }

private slots:
    void init() { Clock::setFixed(QDateTime(QDate(2023, 1, 1), QTime(12, 0))); } // a Sunday
    void cleanup()
    {
        Clock::reset();
        AppSettings::setUserName(QString());
    }

    void countWords_data()
    {
        QTest::addColumn<QStringList>("counts");
        QTest::addColumn<QString>("words");
        QTest::newRow("one") << QStringList {"1", "21", "101"} << "новая заявка";
        QTest::newRow("few") << QStringList {"2", "3", "4", "22", "104"} << "новые заявки";
        QTest::newRow("many") << QStringList {"0", "5", "11", "12", "14", "19", "20", "111", "112", "x"}
                              << "новых заявок";
    }
    void countWords()
    {
        QFETCH(QStringList, counts);
        QFETCH(QString, words);
        WelcomePanel panel;
        for (const QString &count : counts) {
            panel.retranslateUi(count);
            QVERIFY(shown(panel).contains(QStringLiteral("У вас %1 %2.").arg(count, words)));
        }
    }

    void statusLine_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("asLink");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("link");
        QTest::newRow("no count, no message") << QString() << false << QString() << QString() << QString();
        QTest::newRow("zero") << QString() << false << "0"
                              << "У вас 0 новых заявок. "
                              << "0 новых заявок";
        QTest::newRow("plain message beats the count") << "Загрузка <b>..." << false << "7"
                                                       << "Загрузка <b>... " << QString();
        QTest::newRow("message as link") << "нет доступа к сети" << true << QString() << "У вас нет доступа к сети. "
                                         << "нет доступа к сети";
    }
    void statusLine()
    {
        QFETCH(QString, message);
        QFETCH(bool, asLink);
        QFETCH(QString, count);
        QFETCH(QString, line);
        QFETCH(QString, link);
        WelcomePanel panel;
        panel.message = message;
        panel.messageAsLink = asLink;
        panel.retranslateUi(count);
        QString html;
        QVERIFY(shown(panel, &html).contains(QStringLiteral("воскресенье, 1 января. ") + line + "Приятной"));
        QVERIFY(html.contains(QStringLiteral("color:#2191c9;\">%1</span></a>").arg(link)));
        QSignalSpy clicks(&panel, &WelcomePanel::newOrdersClick);
        emit child<QLabel>(&panel, "lbMessage")->linkActivated(QStringLiteral("anything"));
        QCOMPARE(clicks.count(), 1);
    }

    void greetingName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("subject and name") << "ООО Ромашка > Иван Петров (ID: 1)"
                                          << "Здравствуйте, Иван Петров.";
        QTest::newRow("name in a tag") << "<b>Иван Петров (организация)</b>"
                                       << "Здравствуйте, Иван Петров.";
        QTest::newRow("no subject") << "Иван Петров (ID: 1)"
                                    << "Здравствуйте.";
        QTest::newRow("no id") << "ООО > Иван"
                               << "Здравствуйте.";
        QTest::newRow("markup and placeholders stay text") << "<b>Иван %2 <a href='x' %4 (ID: 1)"
                                                           << "Здравствуйте, Иван %2 <a href='x' %4.";
    }
    void greetingName()
    {
        QFETCH(QString, name);
        QFETCH(QString, greeting);
        AppSettings::setUserName(name);
        WelcomePanel panel;
        panel.retranslateUi(QStringLiteral("3"));
        QString html;
        QVERIFY(shown(panel, &html).startsWith(greeting + QStringLiteral(" Сегодня воскресенье")));
        QCOMPARE(html.count(QStringLiteral("<a ")), 1);
        QCOMPARE(child<QLabel>(&panel, "lbCR")->text(), QStringLiteral("© Таврел, 2023"));
    }

    void layoutAndParentBackground()
    {
        QWidget parent;
        parent.setObjectName(QStringLiteral("marketPlace"));
        const QString own = QStringLiteral("#marketPlace { border-bottom-right-radius: 10px }");
        parent.setStyleSheet(own);
        WelcomePanel panel(&parent);
        parent.show();
        for (const QSize &size : {QSize(500, 300), QSize(1000, 600)}) {
            panel.resize(size);
            QCOMPARE(child<QWidget>(&panel, "movingWidget")->pos(),
                     QPoint((size.width() - 701) / 2, (size.height() - 351) / 2));
            QCOMPARE(child<QWidget>(&panel, "lbCR")->pos(), QPoint(size.width() - 111, size.height() - 20));
        }
        for (int i = 0; i < 2; ++i) {
            panel.show();
            QVERIFY(parent.styleSheet().contains(QStringLiteral("#eeeeee")));
            panel.hide();
            QCOMPARE(parent.styleSheet(), own);
        }
    }
};

TAVREL_TEST_MAIN(TestWelcomePanel)
#include "tst_welcomepanel.moc"
