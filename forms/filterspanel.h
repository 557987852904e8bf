#ifndef FILTERSPANEL_H
#define FILTERSPANEL_H

#include "datetimeeditballoon.h"
#include "editwordsform.h"
#include "filterlist.h"
#include "filterlisteditordialog.h"
#include "regionsform.h"

#include <QDate>
#include <QDateTime>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class NetworkRequestContext;
class QDateEdit;
class QDoubleSpinBox;
class QHideEvent;
class QShowEvent;

namespace Entity {
class Filter;
}

namespace Ui {
class FiltersPanel;
}

// The editor of the subscriber's saved searches. It keeps a working list of the filters read from the
// database with a new-filter entry at its head, shows one filter at a time in its controls, writes every
// edit into that filter at once and stores the list 4 s after the last edit (at once when it hides, when
// another filter is chosen or the list editor opens). Each store goes to the service through the
// engine's filter synchronization; the panel follows the engine's filters notices and reloads the list
// after a synchronization.
//
// While the panel is visible it holds every filters synchronization back until the user presses
// "Сохранить" or hides it; while a dialog of the panel is open, always.
//
// With advancedMode set (the instance of the advanced search) nothing is read or stored: the edits stay
// in memory as search criteria.
//
// The code is split in two files: filterspanel.cpp (the working list, saving and the synchronization
// protocol) and filterspanelcontrols.cpp (the controls and their edit slots).
class FiltersPanel : public QWidget
{
    Q_OBJECT

public:
    explicit FiltersPanel(QWidget *parent = nullptr);
    ~FiltersPanel() override;

    // The day a date bound stands for, and the bound of a day: the service's day, at its own offset,
    // whatever the user's time zone.
    static QDate boundToDay(const QDateTime &bound);
    static QDateTime dayToBound(const QDate &day);

    // --- the working list -----------------------------------------------------------------------
    // Stores pending edits at once; on a refused write the edits stay pending.
    void saveChanges();
    void selectFilter(int index);
    void loadFilters(Entity::FilterList *list, const QString &newFilterName, bool selectFirst);
    void reloadFilters(Entity::FilterList *list, bool selectFirst);
    void readFiltersFromDatabase(bool fromDatabase);
    void rereadFilters();
    // Whether a synchronization may go on now; stores the edits and remembers the shown filter.
    bool prepareForReload(bool onSyncRequest);
    bool createNewFilter(Entity::Filter *filter);
    // Called by every edit after it has written into the current filter.
    void markChanged();
    void setModified(bool value);
    void resumeSyncReload();

    // --- the controls ---------------------------------------------------------------------------
    // The filter shown, owned by the working list; null when none.
    Entity::Filter *currentFilter() const;
    void showFilter();
    void setDateControlsVisible(bool visible);
    void removeDeletedFilters();

    // Writes what the line edits and spin boxes show but have not committed yet, without opening the
    // list editor or reloading; returns whether the new-filter entry was given a name of its own.
    bool commitControls();

    const QString &headerTemplateText() const { return headerTemplate; }
    int filterCount() const;
    Entity::Filter *filterAt(int index) const;
    bool hasPendingChanges() const { return modified; }
    // Test seam: the delayed save's timer.
    const QTimer &saveTimerForTesting() const { return saveTimer; }

signals:
    void filtersSaved();
    void closePressed();

private slots:
    void clearAllPressed();
    void dateTimeEditPickFinish(int code);
    void dateTimeEditButtonClick();
    void mainSaveButtonClick();
    void listSaveClick();
    void listGoClick();
    void openListEditor();
    void filterComboChanged(int n);
    void searchAreaComboChanged(int n);
    void orderTypeComboChanged(int n);
    void checkBoxChanged(bool checked);
    void wordsExceptionChanged();
    void keyWordChanged();
    void exWordsClick();
    void regionsClick();
    void branchesClick();
    void amountOrdersFromChanged();
    void amountOrdersToChanged();
    void dateFieldsChanged(QDateTime dt);
    void newFiltersEvent(QObject *source);
    void newFiltersEvent();
    void saveTimerTick();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // At destruction: the edits that could not be stored for want of a login go into the database
    // under the subscriber the list belongs to, pushed at that subscriber's next login.
    void storeForOwner();
    // The filter's name made unique among the others and the new-filter entry's own name.
    QString numberedName(const Entity::Filter *filter) const;
    // The shared end of every edit: the change stamp, the pending flag and markChanged.
    void editDone(Entity::Filter *filter);
    void writeAmount(QDoubleSpinBox *spin, QString Entity::Filter::*field, double shownValue);
    void chooseLinks(RegionsForm &chooser, QList<qint64> Entity::Filter::*ids, int Entity::Filter::*stamp);
    QDateTime *dateField(Entity::Filter *filter, int index) const;
    QDateEdit *dateEdit(int index) const;
    void refreshDateEdits(Entity::Filter *filter);
    // Runs a dialog of the panel; a reload that a notice asked for meanwhile follows it.
    int runModal(QDialog &dialog);
    // Whether the panel is shown and not being hidden with its window or page.
    bool staysOnScreen() const;
    bool anyDialogVisible() const;
    void finishPendingReload();
    // Records the engine may have synchronized since they were read take the server id and state it
    // stored for them.
    void adoptStoredIds();
    // A notice's reload, keeping the filter shown and what is being typed into it.
    void reloadAfterNotice();

    DateTimeEditBalloon dateBalloon;
    QString headerTemplate;
    int currentRow = -1;

public:
    // Set by the main window on the instance of the advanced search before it is first shown.
    bool advancedMode = false;

private:
    bool syncReloadAllowed = false;
    bool reloadAfterShow = false;
    QPointer<NetworkRequestContext> filtersListener;
    QPointer<Entity::FilterList> workingList;
    FilterListEditorDialog listEditor;
    RegionsForm regionsForm;
    RegionsForm branchesForm;
    EditWordsForm wordsForm;
    QString branchesCountText;
    QString regionsCountText;

public:
    Ui::FiltersPanel *ui;

private:
    QPointer<Entity::FilterList> ownFilterList;
    bool modified = false;
    bool updatingControls = false;
    qint64 rememberedLocalId = -1;
    qint64 rememberedId = -1;
    qint64 rememberedDisplayOrder = -1;
    QTimer saveTimer;
    QTimer deferTimer;

    // A synchronization let through while the panel was visible: its after-notice reloads the panel.
    bool reloadAfterSync = false;
    // Dialogs of the panel running now, and a reload asked for while one was.
    int modalDepth = 0;
    bool reloadPending = false;
    // The subscriber whose filters the working list holds: taken when the list is read, or at a show
    // while it holds nothing stored; empty until then.
    QString listLogin;
    // The page was left with edits that could not be stored (nobody logged in).
    bool leftUnsaved = false;
    // Set while the controls are committed on hide or destruction: no editor, no reload.
    bool quietCommit = false;
    // The new-filter entry was given a name of its own by a quiet commit not yet reported.
    bool quietlyNamed = false;
    // What showFilter put into the amount spin boxes, so that passing through a field is no edit.
    double shownAmountFrom = 0;
    double shownAmountTo = 0;
};

#endif // FILTERSPANEL_H
