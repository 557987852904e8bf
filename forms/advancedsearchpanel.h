#ifndef ADVANCEDSEARCHPANEL_H
#define ADVANCEDSEARCHPANEL_H

#include <QPointer>
#include <QString>
#include <QWidget>

class FiltersPanel;
class ViewOrdersPaginator;
class QHideEvent;
class QResizeEvent;
class QShowEvent;

namespace Ui {
class AdvancedSearchPanel;
}

// The main window's advanced search page: the user puts criteria together in a filter panel shown in
// the page and presses "Найти"; the page runs a one-off search on the service with a copy of them
// through the paginator of the advanced results, and tells the main window when orders were found.
// It saves nothing. Both collaborators are borrowed from the main window, which sets them once before
// the page is first shown; the page takes the filter panel in while it is shown.
class AdvancedSearchPanel : public QWidget
{
    Q_OBJECT

public:
    explicit AdvancedSearchPanel(QWidget *parent = nullptr);
    ~AdvancedSearchPanel() override;

    bool isSearching() const;
    bool isSearchDone() const { return searchDone; }
    bool hasResults() const { return resultCount() > 0; }
    int resultCount() const;

    QPointer<ViewOrdersPaginator> paginator;
    QPointer<FiltersPanel> filtersPanel;

signals:
    void closeFormPressed();
    void searchFormComplete();
    void notifyState(QString s);

public slots:
    void refreshVisibleState();
    void refreshGeoState();
    void runSearch();
    void searchFinished();
    void clearSearch();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void startSearchRequest();
    // Gives the filter panel back: out of the page, without parent, hidden.
    void releaseFiltersPanel();
    bool holdsFiltersPanel() const;

    bool searchStarted = false;
    bool noResults = true;
    Ui::AdvancedSearchPanel *ui;
    bool searchDone = false;
    QString savedHeaderText;
};

#endif // ADVANCEDSEARCHPANEL_H
