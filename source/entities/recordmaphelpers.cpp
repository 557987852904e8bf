#include "recordmaphelpers.h"

namespace Entity {

namespace {
// The words are ASCII; text has already been lower-cased.
bool equalsLowerCased(const QString &lower, QLatin1String word)
{
    if (lower.size() != word.size())
        return false;
    for (int i = 0; i < word.size(); ++i) {
        char c = word.at(i).toLatin1();
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (lower.at(i) != QLatin1Char(c))
            return false;
    }
    return true;
}
} // namespace

QString vocabularyText(int value, std::initializer_list<VocabularyWord> words, QLatin1String fallback)
{
    for (const VocabularyWord &word : words) {
        if (word.value == value)
            return word.text;
    }
    return fallback;
}

int vocabularyValue(const QString &text, std::initializer_list<VocabularyWord> words, int fallback)
{
    const QString lower = text.toLower();
    for (const VocabularyWord &word : words) {
        if (equalsLowerCased(lower, word.text))
            return word.value;
    }
    return fallback;
}

} // namespace Entity
