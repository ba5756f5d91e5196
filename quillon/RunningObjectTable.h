#pragma once

#include "platform/ResultCodes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <mutex>

namespace quillon {

// The process's table of running objects by name, where a graph-inspection tool looks for a
// graph it may attach to. Registrations stay for the life of the process. The table does not
// keep an object alive: a registered object that has been destroyed is found as null.
class RunningObjectTable {
public:
    static RunningObjectTable& instance();

    // Enters the object under the name and writes the registration's cookie (never 0).
    // E_INVALIDARG for a null object.
    HRESULT registerObject(const QString& name, QObject* object, quint32& cookie);
    bool contains(const QString& name) const;
    // The object registered last under the name; null when there is none or it is gone.
    QObject* find(const QString& name) const;
    QStringList names() const;

private:
    struct Entry {
        quint32 cookie;
        QString name;
        QPointer<QObject> object;
    };

    mutable std::mutex m_mutex;
    QList<Entry> m_entries;
    quint32 m_lastCookie = 0;
};

} // namespace quillon
