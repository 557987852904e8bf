#include "proxysettingswidget.h"
#include "ui_proxysettingswidget.h"

#include "appsettings.h"
#include "proxysettingsmodel.h"

#include <QAction>
#include <QEvent>
#include <QMenu>

ProxySettingsWidget::ProxySettingsWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ProxySettingsWidget)
{
    ui->setupUi(this);

    connect(ui->detectSettingsCheckBox, &QCheckBox::toggled, this, &ProxySettingsWidget::detectSettingsChecked);
    connect(ui->detectSettingsCheckBox, &QCheckBox::stateChanged, this, &ProxySettingsWidget::changed);
    connect(ui->hostLineEdit, &QLineEdit::textChanged, this, &ProxySettingsWidget::changed);
    connect(ui->portSpinBox, QOverload<int>::of(&QSpinBox::valueChanged), this, &ProxySettingsWidget::changed);
    connect(ui->authCheckBox, &QCheckBox::stateChanged, this, &ProxySettingsWidget::changed);
    connect(ui->authCheckBox, &QCheckBox::toggled, ui->loginLineEdit, &QWidget::setEnabled);
    connect(ui->authCheckBox, &QCheckBox::toggled, ui->passwordLineEdit, &QWidget::setEnabled);
    connect(ui->loginLineEdit, &QLineEdit::textChanged, this, &ProxySettingsWidget::changed);
    connect(ui->passwordLineEdit, &QLineEdit::textChanged, this, &ProxySettingsWidget::changed);
    connect(ui->saveButton, &QPushButton::clicked, this, &ProxySettingsWidget::submit);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QWidget::close);

    model = new ProxySettingsModel(this);
    importMenu = new QMenu(this);
    fillImportMenu(importMenu);
    ui->importToolButton->setMenu(importMenu);
    if (!importMenu->actions().isEmpty())
        connect(ui->importToolButton, &QToolButton::triggered, this, &ProxySettingsWidget::importToolButtonItemPressed);
    else
        ui->importToolButton->setEnabled(false);

    fillTypeCombo();
    ui->typeComboBox->setCurrentIndex(-1);
    // The window keeps its designed size where the texts fit in it; where the system font is larger, it grows
    // just enough that no text is cut off.
    setFixedSize(size().expandedTo(minimumSizeHint()));
}

ProxySettingsWidget::~ProxySettingsWidget()
{
    delete model;
    delete ui;
}

void ProxySettingsWidget::setProxy(const QNetworkProxy &proxy)
{
    if (proxy.type() == QNetworkProxy::DefaultProxy) {
        ui->detectSettingsCheckBox->setChecked(true);
        return;
    }
    ui->authCheckBox->setChecked(!proxy.user().isEmpty());
    ui->typeComboBox->setCurrentIndex(ui->typeComboBox->findData(int(proxy.type())));
    ui->hostLineEdit->setText(proxy.hostName());
    ui->portSpinBox->setValue(proxy.port());
    ui->loginLineEdit->setText(proxy.user());
    ui->passwordLineEdit->setText(proxy.password());
}

QNetworkProxy ProxySettingsWidget::proxyFromControls() const
{
    QNetworkProxy proxy(QNetworkProxy::DefaultProxy);
    if (ui->detectSettingsCheckBox->isChecked())
        return proxy;
    const QVariant type = ui->typeComboBox->currentData();
    proxy.setType(type.isValid() ? QNetworkProxy::ProxyType(type.toInt()) : QNetworkProxy::DefaultProxy);
    proxy.setHostName(ui->hostLineEdit->text());
    proxy.setPort(quint16(ui->portSpinBox->value()));
    if (ui->authCheckBox->isChecked()) {
        proxy.setUser(ui->loginLineEdit->text());
        proxy.setPassword(ui->passwordLineEdit->text());
    }
    return proxy;
}

bool ProxySettingsWidget::isChanged() const
{
    return !(proxyFromControls() == referenceProxy);
}

QString ProxySettingsWidget::proxyToString(const QString &caption, const QNetworkProxy &proxy)
{
    static const char *const typeNames[]
        = {"UnknownProxy", "Socks5Proxy", "NoProxy", "HttpProxy", "HttpCachingProxy", "FtpCachingProxy"};
    const int type = int(proxy.type());
    const QString typeName = (type >= 0 && type < 6) ? QString::fromLatin1(typeNames[type]) : QStringLiteral("Unknown");
    return QStringLiteral("caption=%1,type=%2,host=%3,port=%4,user=%5;")
        .arg(caption, typeName, proxy.hostName(), QString::number(proxy.port()), proxy.user());
}

void ProxySettingsWidget::submit()
{
    AppSettings::setProxy(proxyFromControls());
    AppSettings::saveProxySettings();
    close();
}

void ProxySettingsWidget::revert() { }

void ProxySettingsWidget::detectSettingsChecked(bool isChecked)
{
    ui->typeComboBox->setEnabled(!isChecked);
    ui->hostLineEdit->setEnabled(!isChecked);
    ui->portSpinBox->setEnabled(!isChecked);
    ui->authCheckBox->setChecked(false);
    ui->authCheckBox->setEnabled(!isChecked);
    ui->loginLineEdit->setReadOnly(isChecked);
    ui->passwordLineEdit->setReadOnly(isChecked);
}

void ProxySettingsWidget::setControlsState(int typeIndex)
{
    const bool direct = ui->typeComboBox->itemData(typeIndex).toInt() == int(QNetworkProxy::NoProxy)
        && ui->typeComboBox->itemData(typeIndex).isValid();
    ui->hostLineEdit->setEnabled(!direct);
    ui->portSpinBox->setEnabled(!direct);
    ui->authCheckBox->setEnabled(!direct);
    if (direct)
        ui->authCheckBox->setChecked(false);
}

void ProxySettingsWidget::importToolButtonItemPressed(QAction *action)
{
    if (!action)
        return;
    const QModelIndex index = model->index(action->data().toInt(), 0);
    if (!index.isValid())
        return;
    const QVariant proxy = model->data(index, ProxySettingsModel::ProxyRole);
    if (proxy.isNull() || !proxy.isValid())
        return;
    if (ui->detectSettingsCheckBox->isChecked())
        ui->detectSettingsCheckBox->setChecked(false);
    setProxy(proxy.value<QNetworkProxy>());
}

void ProxySettingsWidget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        fillTypeCombo();
    }
}

void ProxySettingsWidget::fillTypeCombo()
{
    int current = -1;
    if (ui->typeComboBox->count() > 0) {
        current = ui->typeComboBox->currentIndex();
        disconnect(ui->typeComboBox, nullptr, this, nullptr);
        ui->typeComboBox->clear();
    }
    ui->typeComboBox->addItem(tr("Direct connection"), int(QNetworkProxy::NoProxy));
    ui->typeComboBox->addItem(tr("Http proxy"), int(QNetworkProxy::HttpProxy));
    ui->typeComboBox->addItem(tr("Socks5 proxy"), int(QNetworkProxy::Socks5Proxy));
    ui->typeComboBox->setCurrentIndex(current);
    connect(ui->typeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &ProxySettingsWidget::changed);
    connect(ui->typeComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ProxySettingsWidget::setControlsState);
    model->retranslatePrompt();
}

void ProxySettingsWidget::fillImportMenu(QMenu *menu)
{
    const QList<ProxySettingsModel::ProxyItem> presets = model->importItems();
    menu->clear();
    for (int k = 1; k <= presets.size(); ++k) {
        const ProxySettingsModel::ProxyItem &preset = presets.at(k - 1);
        if (!preset.importable)
            continue;
        QAction *action = new QAction(preset.caption, menu);
        action->setData(k);
        menu->addAction(action);
    }
}
