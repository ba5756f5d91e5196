#include "meter/SettingsPropertyBag.h"

#include <QSettings>

namespace meter {

SettingsPropertyBag::SettingsPropertyBag(QSettings& settings, const QString& group)
    : settings_(settings), group_(group) {}

QString SettingsPropertyBag::storedKey(const QString& key) const {
    settings_.beginGroup(group_);
    const QStringList keys = settings_.childKeys();
    settings_.endGroup();
    for (const QString& stored : keys) {
        if (stored.compare(key, Qt::CaseInsensitive) == 0)
            return stored;
    }
    return {};
}

QVariant SettingsPropertyBag::readProperty(const QString& key, const QVariant& def) const {
    const QString stored = storedKey(key);
    if (stored.isEmpty())
        return def;
    return settings_.value(group_ + u'/' + stored, def);
}

void SettingsPropertyBag::writeProperty(const QString& key, const QVariant& value) {
    const QString stored = storedKey(key);
    if (!stored.isEmpty() && stored != key)
        settings_.remove(group_ + u'/' + stored);
    settings_.setValue(group_ + u'/' + key, value);
}

} // namespace meter
