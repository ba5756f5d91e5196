#include "meter/MemoryPropertyBag.h"

namespace meter {

MemoryPropertyBag::MemoryPropertyBag(std::initializer_list<QPair<QString, QVariant>> entries) {
    for (const auto& [key, value] : entries)
        writeProperty(key, value);
}

qsizetype MemoryPropertyBag::indexOf(const QString& key) const {
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        if (entries_[i].first.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant MemoryPropertyBag::readProperty(const QString& key, const QVariant& def) const {
    const qsizetype i = indexOf(key);
    return i < 0 ? def : entries_[i].second;
}

void MemoryPropertyBag::writeProperty(const QString& key, const QVariant& value) {
    const qsizetype i = indexOf(key);
    if (i < 0)
        entries_.append({key, value});
    else
        entries_[i].second = value;
}

bool MemoryPropertyBag::contains(const QString& key) const {
    return indexOf(key) >= 0;
}

QStringList MemoryPropertyBag::keys() const {
    QStringList result;
    for (const auto& entry : entries_)
        result.append(entry.first);
    return result;
}

} // namespace meter
