#pragma once

#include "media/FilterItem.h"
#include "media/KeyedList.h"

#include <QStringList>
#include <mutex>

namespace media {

// The filters the program can make by friendly name. A filter is offered only when the
// GStreamer elements it is made of are installed.
class FilterRegistry {
public:
    static FilterRegistry& instance();

    KeyedList<FilterItem> registeredFilters() const;
    bool contains(const QString& name) const;

    // Tests add stand-ins or take filters away; reset restores the standard table.
    void registerFilter(const QString& name, FilterItem::Factory factory);
    void unregisterFilter(const QString& name);
    void reset();

private:
    FilterRegistry();
    struct Entry {
        QString name;
        QStringList elements; // GStreamer element factories it needs
        FilterItem::Factory factory;
    };
    static QList<Entry> standardEntries();
    static bool installed(const QStringList& elements);

    mutable std::mutex m_mutex;
    QList<Entry> m_entries;
};

} // namespace media
