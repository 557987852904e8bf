#ifndef WELCOMEPANEL_H
#define WELCOMEPANEL_H

#include <QString>
#include <QWidget>

namespace Ui {
class WelcomePanel;
}

// The Russian plural form for n: one (1, 21, 101), few (2-4, 22-24) or many (0, 5-20, 11-14, 111).
QString pluralForm(int n, const QString &one, const QString &few, const QString &many);
// prefix + the plural form for the number in numberText (a text that is no number counts as 0);
// empty when numberText is empty.
QString numberWithNoun(const QString &numberText, const QString &prefix, const QString &one, const QString &few,
                       const QString &many);

// The welcome page: a card with a greeting to the subscriber, today's date, one status line (the number
// of new orders as a link, or a status text of the main window) and the program's version.
class WelcomePanel : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomePanel(QWidget *parent = nullptr);
    ~WelcomePanel() override;

    // Rebuilds every text; newOrdersCount is the count in digits, or empty for no count.
    void retranslateUi(const QString &newOrdersCount);
    // ", Name" from a display name "Subject > Name (ID: n)"; empty without '>' or '('.
    static QString extractLabelText(const QString &text);

    // A status text that replaces the count: a link between "У вас" and "." when messageAsLink is set,
    // plain text otherwise.
    QString message;
    bool messageAsLink = false;

signals:
    void newOrdersClick();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QString parentStyleSheet;
    Ui::WelcomePanel *ui;
};

#endif // WELCOMEPANEL_H
