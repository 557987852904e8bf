#ifndef PROXYSETTINGSWIDGET_H
#define PROXYSETTINGSWIDGET_H

#include <QNetworkProxy>
#include <QWidget>

class QAction;
class QMenu;
class ProxySettingsModel;

namespace Ui {
class ProxySettingsWidget;
}

// "Настройки подключения": how the client reaches the network. Saving stores the proxy;
// it takes effect when the application settings apply it before the next login.
class ProxySettingsWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ProxySettingsWidget(QWidget *parent = nullptr);
    ~ProxySettingsWidget() override;

    void setProxy(const QNetworkProxy &proxy);
    QNetworkProxy proxyFromControls() const;
    bool isChanged() const;
    static QString proxyToString(const QString &caption, const QNetworkProxy &proxy);

signals:
    void changed();

public slots:
    void submit();
    void revert();

private slots:
    void detectSettingsChecked(bool isChecked);
    void setControlsState(int typeIndex);
    void importToolButtonItemPressed(QAction *action);

protected:
    void changeEvent(QEvent *event) override;

private:
    void fillTypeCombo();
    void fillImportMenu(QMenu *menu);

    Ui::ProxySettingsWidget *ui;
    QNetworkProxy referenceProxy;
    ProxySettingsModel *model;
    QMenu *importMenu;
};

#endif // PROXYSETTINGSWIDGET_H
