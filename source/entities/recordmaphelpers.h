#ifndef RECORDMAPHELPERS_H
#define RECORDMAPHELPERS_H

// For the entity sources: small readers shared by the records' map conversions.

#include <QLatin1String>
#include <QString>
#include <QVariantMap>

#include <initializer_list>

namespace Entity {

// One text form of a state or kind enumeration; these travel as text in maps and database rows.
struct VocabularyWord
{
    int value;
    QLatin1String text;
};

// The text of value, or fallback for a value outside the words.
QString vocabularyText(int value, std::initializer_list<VocabularyWord> words, QLatin1String fallback);
// The value of the word that equals text once both are in lower case (no trimming), or fallback.
int vocabularyValue(const QString &text, std::initializer_list<VocabularyWord> words, int fallback);

// Applies read to the map's value under key only when the map holds the key.
template<class Read> void readIfPresent(const QVariantMap &map, const QString &key, Read read)
{
    const auto it = map.constFind(key);
    if (it != map.constEnd())
        read(*it);
}

} // namespace Entity

#endif // RECORDMAPHELPERS_H
