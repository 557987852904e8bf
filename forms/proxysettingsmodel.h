#ifndef PROXYSETTINGSMODEL_H
#define PROXYSETTINGSMODEL_H

#include <QAbstractListModel>
#include <QList>
#include <QNetworkProxy>
#include <QVariantMap>

#include <functional>

// The proxy presets found in the user's web browsers, offered by the proxy settings form
// as an import menu. Read once, when the model is built.
class ProxySettingsModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles { ProxyRole = Qt::UserRole + 1 };

    struct ProxyItem
    {
        bool importable = false;
        QString caption;
        QNetworkProxy proxy;
    };

    // Where the Internet Explorer values ("ProxyEnable", "ProxyServer") come from. On Windows
    // it is the registry; other systems have no such source unless one is installed (tests do).
    using InternetSettingsSource = std::function<QVariantMap()>;
    static void setInternetSettingsSource(const InternetSettingsSource &source);

    explicit ProxySettingsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void refresh();
    void retranslatePrompt();
    QList<ProxyItem> importItems() const;

    // Line readers of a browser's prefs.js, public for their own tests.
    static QString prefsStringValue(const QString &line);
    static int prefsIntValue(const QString &line);

private:
    void loadFirefoxProxy();
    void loadOperaProxy();
    void loadIeProxy();
    static QNetworkProxy loadFirefoxPrefs(const QString &profileDir);
    static QString appDataDir();
    static QString firefoxDir();
    static QString operaPrefsFile();
    static quint16 portFromText(const QString &text);
    static void splitServer(const QString &server, QNetworkProxy *proxy);

    QList<ProxyItem> items;
    ProxyItem promptItem;
};

Q_DECLARE_METATYPE(ProxySettingsModel::ProxyItem)

#endif // PROXYSETTINGSMODEL_H
