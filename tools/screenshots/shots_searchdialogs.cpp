// tavrel-shots-searchdialogs: pictures of the search header and the filter dialogs, taken standalone
// against an in-process stand-in of the service: searchpanel_tab0.png, searchpanel_tab2.png,
// searchpanel_maximized.png, listeditor_modified.png, listeditor_newfilter.png, chooser_regions.png,
// chooser_branches.png, editwords.png and dateballoon.png. Dialogs get a drawn caption with their window
// title, since the display server has no window manager. For looking at, not for tests.
#include "branch.h"
#include "branchlist.h"
#include "coregraph.h"
#include "datetimeeditballoon.h"
#include "editablelistfilterwrapper.h"
#include "editwordsform.h"
#include "filter.h"
#include "filterlinklist.h"
#include "filterlisteditordialog.h"
#include "networkrequestcontext.h"
#include "region.h"
#include "regionlist.h"
#include "regionsform.h"
#include "searchpanel.h"
#include "shotsupport.h"
#include "tavreldatabasequery.h"

#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QTreeView>

namespace {

template<class List, class Record> void addRecord(List &list, qint64 id, qint64 parentId, const QString &name)
{
    auto *record = new Record();
    record->id = id;
    record->parentId = parentId;
    record->name = name;
    list.items << record;
}

void chooser(Entity::FilterLinkList::LinkType type, const QList<qint64> &ticked, const QString &openName,
             const QString &file)
{
    RegionsForm form;
    form.linkType = type;
    form.ensureTree();
    form.setTickedIds(ticked);
    form.show();
    const QModelIndexList open = form.treeModel.match(form.treeModel.index(0, 0), Qt::DisplayRole, openName);
    if (!open.isEmpty())
        form.findChild<QTreeView *>()->expand(open.first());
    shots::save(&form, file, true);
}

} // namespace

int main(int argc, char *argv[])
{
    shots::Run run(argc, argv, shots::Run::Standalone);
    if (run.status)
        return run.status;

    // The dictionaries of the two choosers.
    Entity::RegionList regions;
    addRecord<Entity::RegionList, Entity::Region>(regions, 1, -1, QStringLiteral("Центральный федеральный округ"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 2, 1, QStringLiteral("Москва"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 3, 1, QStringLiteral("Московская область"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 4, 1, QStringLiteral("Тверская область"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 5, -1, QStringLiteral("Северо-Западный федеральный округ"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 6, 5, QStringLiteral("Санкт-Петербург"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 7, -1, QStringLiteral("Приволжский федеральный округ"));
    addRecord<Entity::RegionList, Entity::Region>(regions, 8, -1, QStringLiteral("Сибирский федеральный округ"));
    Entity::BranchList branches;
    addRecord<Entity::BranchList, Entity::Branch>(branches, 10, -1, QStringLiteral("Строительство"));
    addRecord<Entity::BranchList, Entity::Branch>(branches, 11, 10, QStringLiteral("Дорожное строительство"));
    addRecord<Entity::BranchList, Entity::Branch>(branches, 12, 10, QStringLiteral("Ремонт зданий"));
    addRecord<Entity::BranchList, Entity::Branch>(branches, 13, 11, QStringLiteral("Асфальтирование"));
    addRecord<Entity::BranchList, Entity::Branch>(branches, 20, -1, QStringLiteral("Медицина"));
    addRecord<Entity::BranchList, Entity::Branch>(branches, 21, 20, QStringLiteral("Медицинское оборудование"));
    addRecord<Entity::BranchList, Entity::Branch>(branches, 30, -1, QStringLiteral("Продукты питания"));
    Entity::FilterLinkList::regionMap(&regions);
    Entity::FilterLinkList::branchMap(&branches);
    chooser(Entity::FilterLinkList::Region, {2, 3}, QStringLiteral("Центральный федеральный округ"),
            QStringLiteral("chooser_regions.png"));
    chooser(Entity::FilterLinkList::Branch, {10, 11, 12, 13}, QStringLiteral("Строительство"),
            QStringLiteral("chooser_branches.png"));

    {
        FilterListEditorDialog editor;
        const QStringList names {QStringLiteral("Тендеры"), QStringLiteral("Строительство Москва"),
                                 QStringLiteral("Медицинское оборудование")};
        for (int i = 0; i < names.size(); ++i) {
            auto *entry = new EditableListFilterWrapper();
            entry->localId = i + 1;
            entry->displayOrder = i;
            entry->name = names.at(i);
            editor.filters << entry;
        }
        editor.setStartRow(1);
        editor.show();
        editor.findChild<QPushButton *>(QStringLiteral("btnCopy"))->click();
        shots::save(&editor, QStringLiteral("listeditor_modified.png"), true);
        editor.hide();
        editor.titleOverride = QStringLiteral("Дайте название новому фильтру");
        editor.setStartRow(0);
        editor.show();
        shots::save(&editor, QStringLiteral("listeditor_newfilter.png"), true);
    }
    {
        EditWordsForm words;
        words.findChild<QTextEdit *>()->setPlainText(QStringLiteral("аренда\nб/у\nремонт помещений"));
        words.show();
        shots::save(&words, QStringLiteral("editwords.png"), true);
        DateTimeEditBalloon balloon;
        balloon.show();
        shots::save(&balloon, QStringLiteral("dateballoon.png"));
    }

    // The search header with a logged-in subscriber's filters from the database.
    CoreGraph graph(run.app.get());
    TavrelSynchronization *engine = run.logIn(graph);
    if (!engine)
        return 1;
    Entity::FilterList filters;
    for (const QString &name : {QStringLiteral("Тендеры"), QStringLiteral("Строительство Москва")}) {
        auto *filter = new Entity::Filter();
        filter->name = name;
        filter->displayOrder = filters.items.size();
        filters.items << filter;
    }
    run.app->dataBaseQuery->saveFilters(engine->currentLogin(), filters, false);
    filters.clear();

    SearchPanel panel;
    panel.resize(900, 95);
    panel.show();
    shots::save(&panel, QStringLiteral("searchpanel_tab0.png"));
    panel.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(2);
    shots::save(&panel, QStringLiteral("searchpanel_tab2.png"));
    panel.findChild<QPushButton *>(QStringLiteral("pushButtonMaximize"))->click();
    panel.resize(1280, 95);
    shots::save(&panel, QStringLiteral("searchpanel_maximized.png"));
    panel.hide();
    graph.clear();
    regions.clear();
    branches.clear();
    return 0;
}
