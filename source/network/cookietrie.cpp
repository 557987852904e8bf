#include "cookietrie.h"

#include <algorithm>

int CookieTrie::childIndex(const QString &label) const
{
    const auto it = std::lower_bound(childrenKeys.constBegin(), childrenKeys.constEnd(), label);
    if (it == childrenKeys.constEnd() || *it != label)
        return -1;
    return int(it - childrenKeys.constBegin());
}

CookieTrie *CookieTrie::walkTo(const QStringList &key, bool create)
{
    CookieTrie *node = this;
    for (int i = key.size() - 1; i >= 0; --i) {
        const QString &label = key.at(i);
        const auto it = std::lower_bound(node->childrenKeys.begin(), node->childrenKeys.end(), label);
        const int position = int(it - node->childrenKeys.begin());
        if (it == node->childrenKeys.end() || *it != label) {
            if (!create)
                return nullptr;
            node->childrenKeys.insert(position, label);
            node->children.insert(node->children.begin() + position, CookieTrie());
        }
        node = &node->children[size_t(position)];
    }
    return node;
}

const CookieTrie *CookieTrie::walkTo(const QStringList &key) const
{
    const CookieTrie *node = this;
    for (int i = key.size() - 1; i >= 0 && node; --i) {
        const int position = node->childIndex(key.at(i));
        node = position < 0 ? nullptr : &node->children[size_t(position)];
    }
    return node;
}

void CookieTrie::insert(const QStringList &key, const QNetworkCookie &cookie)
{
    walkTo(key, true)->values.append(cookie);
}

QList<QNetworkCookie> CookieTrie::find(const QStringList &key) const
{
    const CookieTrie *node = walkTo(key);
    return node ? node->values : QList<QNetworkCookie>();
}

bool CookieTrie::remove(const QStringList &key, const QNetworkCookie &cookie)
{
    CookieTrie *node = walkTo(key, false);
    if (!node)
        return false;
    const int index = node->values.indexOf(cookie);
    if (index < 0)
        return false;
    node->values.removeAt(index);

    QStringList remaining = key;
    while (!remaining.isEmpty() && node->values.isEmpty() && node->children.empty()) {
        const QString label = remaining.takeFirst();
        CookieTrie *parent = walkTo(remaining, false);
        const int position = parent->childIndex(label);
        parent->childrenKeys.removeAt(position);
        parent->children.erase(parent->children.begin() + position);
        node = parent;
    }
    return true;
}

void CookieTrie::appendAll(QList<QNetworkCookie> &out) const
{
    out += values;
    for (const CookieTrie &child : children)
        child.appendAll(out);
}

QList<QNetworkCookie> CookieTrie::all() const
{
    QList<QNetworkCookie> out;
    appendAll(out);
    return out;
}

void CookieTrie::clear()
{
    values.clear();
    childrenKeys.clear();
    children.clear();
}
