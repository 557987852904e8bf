// tavrel-shots-filterpanel: pictures of the filter panel and the advanced search page against an
// in-process stand-in of the service: filterspanel.png (a filter of the service with regions, sectors
// and amounts), advsearch_criteria.png, advsearch_searching.png, advsearch_nothing.png and
// dateballoon_button.png (the date balloon over its calendar button, taken from the screen). For
// looking at, not for tests.
#include "advancedsearchpanel.h"
#include "coregraph.h"
#include "filter.h"
#include "filterlinklist.h"
#include "filterspanel.h"
#include "localservice/localservice.h"
#include "localservice/localservicefault.h"
#include "localservice/localservicesubscription.h"
#include "localservice/localserviceuser.h"
#include "networkconstants.h"
#include "networkrequestcontext.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "vieworderspaginator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>
#include <vector>

namespace {

QString output;

void saveImage(const QPixmap &picture, const QString &name)
{
    QTextStream(stdout) << (picture.save(QDir(output).filePath(name)) ? "saved " : "FAILED ") << name << "\n";
}

void settle(int msecs = 100)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < msecs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool waitFor(const std::function<bool()> &done, int msecs = 15000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < msecs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        QTextStream(stderr) << "usage: tavrel-shots-filterpanel OUTPUT_FOLDER\n";
        return 2;
    }
    output = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(output);
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QByteArray program = argv[0];
    std::vector<char *> args {program.data(), nullptr};
    int appArgc = 1;
    TavrelApplication app(appArgc, args.data());
    app.setApplicationName(QStringLiteral("Tavrel"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    LocalService service;
    if (!service.start())
        return 1;
    qputenv("TAVREL_BASE_URL", service.url().toUtf8());
    service.addUser(QStringLiteral("demo"), QStringLiteral("demo"));
    // A saved search of the service's, with regions, sectors and amounts.
    LocalServiceSubscription subscription;
    subscription.setField(QStringLiteral("Name"), QStringLiteral("Ремонт дорог"));
    subscription.setField(QStringLiteral("SearchArea"), QStringLiteral("CURRENT_ORDERS"));
    subscription.setField(QStringLiteral("OrderType"), QStringLiteral("OFFICIAL"));
    subscription.setField(QStringLiteral("WordSerch"), QStringLiteral("ремонт асфальт"));
    subscription.setField(QStringLiteral("AmountOrdersFrom"), QStringLiteral("150000.00"));
    subscription.setField(QStringLiteral("AmountOrdersTo"), QStringLiteral("2500000.50"));
    subscription.setField(QStringLiteral("Enabled"), QStringLiteral("TRUE"));
    subscription.words << QStringLiteral("проект") << QStringLiteral("экспертиза");
    for (int i = 0; i < 4 && i < service.data().regions().size(); ++i)
        subscription.regions << service.data().regions().at(i * 3 % service.data().regions().size()).id;
    for (int i = 0; i < 3 && i < service.data().branches().size(); ++i)
        subscription.branches << service.data().branches().at(i * 2 % service.data().branches().size()).id;
    subscription.placementMethods << qMakePair(QStringLiteral("OpenCompetition"), QStringLiteral("TRUE"))
                                  << qMakePair(QStringLiteral("ElectronicAuction"), QStringLiteral("TRUE"));
    service.addSubscription(QStringLiteral("demo"), subscription);

    CoreGraph graph(&app);
    graph.build(home.filePath(QStringLiteral("Tavrel.Dat")));
    TavrelSynchronization *engine = graph.engine();
    QEventLoop wait;
    QObject::connect(engine, &TavrelSynchronization::authorizationReceived, &wait, &QEventLoop::quit);
    engine->login(QStringLiteral("demo"), LocalServiceUser::digest(QStringLiteral("demo")), true);
    wait.exec();
    engine->syncDictionariesNow();
    engine->syncFiltersNow();
    const bool ready = waitFor([&] {
        Entity::FilterList stored = app.dataBaseQuery->filters(engine->currentLogin());
        const bool any = !stored.items.isEmpty();
        stored.clear();
        return any && !Entity::FilterLinkList::regionMap().isEmpty() && !Entity::FilterLinkList::branchMap().isEmpty();
    });
    if (!ready)
        QTextStream(stderr) << "the service's filter or dictionaries did not arrive\n";

    {
        FiltersPanel panel;
        panel.resize(640, 560);
        panel.show();
        panel.rereadFilters();
        panel.selectFilter(1);
        settle();
        saveImage(panel.grab(), QStringLiteral("filterspanel.png"));
    }

    // The advanced search page as the main window hosts it.
    QWidget window;
    window.setWindowTitle(QStringLiteral("Tavrel"));
    ViewOrdersPaginator paginator;
    paginator.mode = 4;
    FiltersPanel criteria;
    criteria.advancedMode = true;
    AdvancedSearchPanel page;
    page.paginator = &paginator;
    page.filtersPanel = &criteria;
    page.setParent(&window);
    window.setGeometry(40, 40, 760, 560);
    page.setGeometry(0, 0, 760, 560);
    window.show();
    page.show();
    page.refreshVisibleState();
    page.refreshGeoState();
    settle();
    saveImage(window.grab(), QStringLiteral("advsearch_criteria.png"));

    // The date balloon over its button, as the screen shows it.
    criteria.findChild<QPushButton *>(QStringLiteral("btnCloseDateFromConf"))->click();
    settle(300);
    saveImage(QGuiApplication::primaryScreen()->grabWindow(0, 40, 40, 760, 560),
              QStringLiteral("dateballoon_button.png"));
    criteria.findChild<QPushButton *>(QStringLiteral("btnOpenDateFromConf"))->setFocus();
    QWidget *balloon = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("DateTimeEditBalloon") && widget->isVisible())
            balloon = widget;
    }
    if (balloon)
        balloon->hide();

    const int hang = service.addFault(LocalServiceFault::hang().onPath(URL_SEARCH));
    criteria.findChild<QLineEdit *>(QStringLiteral("edKeyWord"))->setText(QStringLiteral("строительство моста"));
    page.findChild<QPushButton *>(QStringLiteral("btnResultShow"))->click();
    settle(300);
    saveImage(window.grab(), QStringLiteral("advsearch_searching.png"));

    service.removeFault(hang);
    criteria.findChild<QLineEdit *>(QStringLiteral("edKeyWord"))->setText(QStringLiteral("фуникулёр"));
    page.findChild<QPushButton *>(QStringLiteral("btnResultShow"))->click();
    waitFor([&] { return page.isSearchDone(); });
    settle();
    saveImage(window.grab(), QStringLiteral("advsearch_nothing.png"));

    page.hide();
    window.hide();
    graph.clear();
    return 0;
}
