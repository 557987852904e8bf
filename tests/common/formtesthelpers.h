#ifndef FORMTESTHELPERS_H
#define FORMTESTHELPERS_H

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>

// The named child of a form; a missing child ends the test at once, since every later check would be void.
template<typename T> T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// A label's rich text as the user reads it, white space simplified.
inline QString plainText(const QLabel *label)
{
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText().simplified();
}

// What a screen reader calls a control: its accessible name, else the text of the label it is the
// buddy of, else (a button or a label) its own text.
inline QString spokenName(QWidget *control)
{
    if (!control->accessibleName().isEmpty())
        return control->accessibleName();
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(control);
    if (!accessible)
        return QString();
    const auto labels = accessible->relations(QAccessible::Label);
    if (!labels.isEmpty())
        return labels.first().first->text(QAccessible::Name);
    const bool ownText = qobject_cast<QAbstractButton *>(control) || qobject_cast<QLabel *>(control);
    return ownText ? accessible->text(QAccessible::Name) : QString();
}

// The controls of a window, not hidden in it, that a screen reader could not name.
inline QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *control : window->findChildren<QWidget *>()) {
        const bool isControl = qobject_cast<QAbstractButton *>(control) || qobject_cast<QLineEdit *>(control)
            || qobject_cast<QComboBox *>(control) || qobject_cast<QAbstractSpinBox *>(control);
        // The line edit of a combo or spin box is named with its owner.
        const bool inner = qobject_cast<QComboBox *>(control->parentWidget())
            || qobject_cast<QAbstractSpinBox *>(control->parentWidget());
        if (isControl && !inner && control->isVisibleTo(window) && spokenName(control).trimmed().isEmpty())
            unnamed << control->objectName();
    }
    return unnamed;
}

// The labels of a window, not hidden in it, that show text but are not read out with it: a name of
// their own would hide what the user sees. Pictures in a label are no text.
inline QStringList misnamedLabels(QWidget *window)
{
    auto words = [](QString text) { return text.remove(QChar::ObjectReplacementCharacter).simplified(); };
    QStringList misnamed;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        const Qt::TextFormat format = label->textFormat();
        const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(label->text()));
        const QString shown = words(rich ? plainText(label) : label->text());
        if (label->isVisibleTo(window) && !shown.isEmpty() && words(spokenName(label)) != shown)
            misnamed << label->objectName();
    }
    return misnamed;
}

// One row of a data table whose columns are all texts (clang-format would give every literal a line).
inline void addTextRow(const char *tag, const QStringList &values)
{
    QTestData &row = QTest::newRow(tag);
    for (const QString &value : values)
        row << value;
}

// Counts the events of one type that reach the widgets it watches, in order with anything else a test
// notes in `log`.
class EventCounter : public QObject
{
public:
    explicit EventCounter(QEvent::Type type)
        : type(type)
    {
    }
    QEvent::Type type;
    int count = 0;
    QStringList log;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type) {
            ++count;
            log << QStringLiteral("event");
        }
        return false;
    }
};

// Writes a fixture file, making its folder first; false when it cannot be written.
inline bool writeFixture(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// The Firefox folder under the test's private home.
inline QString firefoxFixtureDir()
{
    return QDir::homePath() + QStringLiteral("/.mozilla/firefox");
}

// One relative Firefox profile ("abc.default") whose prefs.js holds `prefs`.
inline bool writeFirefoxProfile(const QByteArray &prefs)
{
    return writeFixture(firefoxFixtureDir() + QStringLiteral("/profiles.ini"),
                        "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=default\nIsRelative=1\n"
                        "Path=abc.default\n")
        && writeFixture(firefoxFixtureDir() + QStringLiteral("/abc.default/prefs.js"), prefs);
}

#endif // FORMTESTHELPERS_H
