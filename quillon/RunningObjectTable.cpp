#include "quillon/RunningObjectTable.h"

namespace quillon {

using namespace ResultCode;

RunningObjectTable& RunningObjectTable::instance() {
    static RunningObjectTable table;
    return table;
}

HRESULT RunningObjectTable::registerObject(const QString& name, QObject* object, quint32& cookie) {
    if (!object)
        return E_INVALIDARG;
    std::lock_guard lock(m_mutex);
    cookie = ++m_lastCookie;
    m_entries.append({cookie, name, object});
    return S_OK;
}

bool RunningObjectTable::contains(const QString& name) const {
    return names().contains(name);
}

QObject* RunningObjectTable::find(const QString& name) const {
    std::lock_guard lock(m_mutex);
    for (auto it = m_entries.crbegin(); it != m_entries.crend(); ++it) {
        if (it->name == name)
            return it->object.data();
    }
    return nullptr;
}

QStringList RunningObjectTable::names() const {
    std::lock_guard lock(m_mutex);
    QStringList result;
    for (const Entry& entry : m_entries)
        result.append(entry.name);
    return result;
}

} // namespace quillon
