#pragma once

#include <QList>
#include <QString>
#include <utility>

namespace media {

// An ordered collection looked up by key, without regard to case, or by 1-based position.
template <typename T> class KeyedList {
public:
    int count() const { return static_cast<int>(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }

    bool contains(const QString& key) const { return indexOf(key) >= 0; }

    // A key already present is refused.
    bool add(const QString& key, T value) {
        if (contains(key))
            return false;
        m_items.append({key, std::move(value)});
        return true;
    }

    // 1-based; null when out of range.
    const T* item(int position) const {
        if (position < 1 || position > count())
            return nullptr;
        return &m_items[position - 1].second;
    }
    const T* item(const QString& key) const {
        const int index = indexOf(key);
        return index < 0 ? nullptr : &m_items[index].second;
    }
    QString key(int position) const {
        return position < 1 || position > count() ? QString() : m_items[position - 1].first;
    }

    void clear() { m_items.clear(); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    int indexOf(const QString& key) const {
        for (int i = 0; i < count(); ++i) {
            if (m_items[i].first.compare(key, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    QList<std::pair<QString, T>> m_items;
};

} // namespace media
