// tavrel-shots-filterpanel: pictures of the filter panel and the advanced search page against an
// in-process stand-in of the service: filterspanel.png (a filter of the service with regions, sectors
// and amounts), advsearch_criteria.png, advsearch_searching.png, advsearch_nothing.png and
// dateballoon_button.png (the date balloon over its calendar button, taken from the screen). For
// looking at, not for tests.
#include "advancedsearchpanel.h"
#include "filter.h"
#include "filterlinklist.h"
#include "filterspanel.h"
#include "localservice/localservicefault.h"
#include "localservice/localservicesubscription.h"
#include "networkconstants.h"
#include "networkrequestcontext.h"
#include "shotsupport.h"
#include "tavreldatabasequery.h"
#include "vieworderspaginator.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

int main(int argc, char *argv[])
{
    shots::Run run(argc, argv, shots::Run::Standalone);
    if (run.status)
        return run.status;
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
    for (int i = 0; i < 4 && i < run.service->data().regions().size(); ++i)
        subscription.regions << run.service->data().regions().at(i * 3 % run.service->data().regions().size()).id;
    for (int i = 0; i < 3 && i < run.service->data().branches().size(); ++i)
        subscription.branches << run.service->data().branches().at(i * 2 % run.service->data().branches().size()).id;
    subscription.placementMethods << qMakePair(QStringLiteral("OpenCompetition"), QStringLiteral("TRUE"))
                                  << qMakePair(QStringLiteral("ElectronicAuction"), QStringLiteral("TRUE"));
    run.service->addSubscription(QStringLiteral("demo"), subscription);

    CoreGraph graph(run.app.get());
    TavrelSynchronization *engine = run.logIn(graph);
    if (!engine)
        return 1;
    engine->syncDictionariesNow();
    engine->syncFiltersNow();
    const bool ready = shots::waitFor([&] {
        Entity::FilterList stored = run.app->dataBaseQuery->filters(engine->currentLogin());
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
        shots::settle(100);
        shots::savePicture(panel.grab(), QStringLiteral("filterspanel.png"));
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
    shots::settle(100);
    shots::savePicture(window.grab(), QStringLiteral("advsearch_criteria.png"));

    // The date balloon over its button, as the screen shows it.
    criteria.findChild<QPushButton *>(QStringLiteral("btnCloseDateFromConf"))->click();
    shots::settle(300);
    shots::savePicture(QGuiApplication::primaryScreen()->grabWindow(0, 40, 40, 760, 560),
                       QStringLiteral("dateballoon_button.png"));
    criteria.findChild<QPushButton *>(QStringLiteral("btnOpenDateFromConf"))->setFocus();
    QWidget *balloon = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("DateTimeEditBalloon") && widget->isVisible())
            balloon = widget;
    }
    if (balloon)
        balloon->hide();

    const int hang = run.service->addFault(LocalServiceFault::hang().onPath(URL_SEARCH));
    criteria.findChild<QLineEdit *>(QStringLiteral("edKeyWord"))->setText(QStringLiteral("строительство моста"));
    page.findChild<QPushButton *>(QStringLiteral("btnResultShow"))->click();
    shots::settle(300);
    shots::savePicture(window.grab(), QStringLiteral("advsearch_searching.png"));

    run.service->removeFault(hang);
    criteria.findChild<QLineEdit *>(QStringLiteral("edKeyWord"))->setText(QStringLiteral("фуникулёр"));
    page.findChild<QPushButton *>(QStringLiteral("btnResultShow"))->click();
    shots::waitFor([&] { return page.isSearchDone(); });
    shots::settle(100);
    shots::savePicture(window.grab(), QStringLiteral("advsearch_nothing.png"));

    page.hide();
    window.hide();
    graph.clear();
    return 0;
}
