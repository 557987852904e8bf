#ifndef SPARSESTORE_H
#define SPARSESTORE_H

#include <QByteArray>
#include <QMap>

// A sparse array: a value per index for the indexes that were set, the default for every other one.
// One presence bit per index (index i is bit i % 8 of byte i / 8) answers "is it set?" without a map
// look-up; bit i is set exactly when map holds key i. Clearing never deletes what the values point to.
template<typename T> class SparseStore
{
public:
    explicit SparseStore(const T &defaultValue = T())
        : defaultValue(defaultValue)
    {
    }

    T value(int index) const
    {
        if (index < 0 || index >= count || !hasBit(index))
            return defaultValue;
        return map.value(index, defaultValue);
    }

    // An index below 0 is ignored. The count grows to index + 1 also when v is the default.
    void set(int index, const T &v)
    {
        if (index < 0)
            return;
        if (index >= count)
            resize(index + 1);
        if (v == defaultValue) {
            bits[index / 8] = char(uchar(bits.at(index / 8)) & ~(1u << (index % 8)));
            map.remove(index);
        } else {
            bits[index / 8] = char(uchar(bits.at(index / 8)) | (1u << (index % 8)));
            map.insert(index, v);
        }
    }

    void append(const T &v) { set(count, v); }

    void clear()
    {
        map.clear();
        bits.clear();
        count = 0;
    }

    // Empties the store and gives it n absent indexes.
    void reset(int n)
    {
        clear();
        resize(n);
    }

    T defaultValue;
    QMap<int, T> map;
    QByteArray bits;
    int count = 0;

private:
    bool hasBit(int index) const { return index / 8 < bits.size() && (uchar(bits.at(index / 8)) >> (index % 8)) & 1u; }

    void resize(int newCount)
    {
        count = qMax(0, newCount);
        const int bytes = (count - 1) / 8 + 1;
        if (bits.size() < bytes)
            bits.append(QByteArray(bytes - bits.size(), '\0'));
    }
};

#endif // SPARSESTORE_H
