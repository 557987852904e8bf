#ifndef COOKIETRIE_H
#define COOKIETRIE_H

#include <QList>
#include <QNetworkCookie>
#include <QStringList>

#include <vector>

// One node of the cookie tree. A domain's key is its list of labels; the
// tree is walked from the last label (the top-level domain) to the first, so
// a host's node lies below the nodes of its parent domains.
class CookieTrie
{
public:
    QList<QNetworkCookie> values;
    // Labels of the children, unique and sorted (QString's operator<),
    // children[i] belongs to childrenKeys[i].
    QStringList childrenKeys;
    std::vector<CookieTrie> children;

    CookieTrie *walkTo(const QStringList &key, bool create);
    const CookieTrie *walkTo(const QStringList &key) const;

    void insert(const QStringList &key, const QNetworkCookie &cookie);
    QList<QNetworkCookie> find(const QStringList &key) const;
    // Removes one cookie equal in every field, then prunes the nodes left
    // without cookies and children. The root stays.
    bool remove(const QStringList &key, const QNetworkCookie &cookie);
    // This node's cookies, then each child's, depth first in label order.
    QList<QNetworkCookie> all() const;
    void clear();

private:
    int childIndex(const QString &label) const;
    void appendAll(QList<QNetworkCookie> &out) const;
};

#endif // COOKIETRIE_H
