#ifndef SEARCHPANEL_H
#define SEARCHPANEL_H

#include <QPointer>
#include <QWidget>

class NetworkRequestContext;
class QEvent;
class QHideEvent;
class QResizeEvent;
class QShowEvent;

namespace Entity {
class Filter;
}

namespace Ui {
class SearchPanel;
}

// The header strip of the main window: the logo, the tabs of the text search (current orders, archive)
// and of the quick search by a saved filter, the search line or the filter combo box under them, the
// search buttons, two check boxes and the window buttons. It starts no search and changes no window
// state: the main window connects the buttons and reads the form through `ui`. The panel keeps the
// filter combo box in step with the user's filters in the database while it is shown.
class SearchPanel : public QWidget
{
    Q_OBJECT

public:
    explicit SearchPanel(QWidget *parent = nullptr);
    ~SearchPanel() override;

    // The filter chosen in the combo box, read afresh from the database: a new record the caller owns
    // and deletes. Null when nothing is chosen or the filter is gone. Never a filter marked Deleted.
    Entity::Filter *selectedFilter();
    // Refills the combo box from the database and keeps the user's choice: the same filter by server
    // id, else by local id, else by name (letter case ignored), else the first one.
    void refreshFilterCombo();
    // The filters listener held while the panel is shown; null otherwise.
    NetworkRequestContext *filtersListenerContext() const;

    Ui::SearchPanel *ui;

public slots:
    void maximizeButtonClicked();
    void restoreButtonClicked();
    // Refills the combo box, unless the signal being delivered is a filters notice sent before a
    // synchronization. The main window connects the filter page's filtersSaved() here.
    void newFiltersEvent();
    void newFiltersEvent(QObject *source);

private slots:
    void tabChanged(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QPointer<NetworkRequestContext> filtersListener;
};

#endif // SEARCHPANEL_H
