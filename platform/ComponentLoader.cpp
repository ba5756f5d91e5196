#include "platform/ComponentLoader.h"

#include "platform/ComponentFactory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QPluginLoader>
#include <QSet>
#include <QtDebug>

namespace platform {

namespace {

QString normalizedClsid(const QString& text) {
    QString s = text.trimmed();
    if (s.startsWith(u'{') && s.endsWith(u'}'))
        s = s.mid(1, s.size() - 2);
    return s.toLower();
}

bool matches(const ComponentClass& c, const QString& id) {
    if (id.isEmpty())
        return false;
    if (c.progId.compare(id, Qt::CaseInsensitive) == 0 ||
        c.versionIndependentProgId.compare(id, Qt::CaseInsensitive) == 0)
        return true;
    const QString clsid = normalizedClsid(c.clsid);
    return !clsid.isEmpty() && clsid == normalizedClsid(id);
}

QList<ComponentClass> readClasses(const QString& file) {
    QList<ComponentClass> result;
    const QJsonObject meta = QPluginLoader(file).metaData();
    if (meta.value(u"IID").toString() != QLatin1String(VeltraxComponentFactory_iid))
        return result;
    const QJsonObject data = meta.value(u"MetaData").toObject();
    const QString library = data.value(u"library").toString();
    for (const QJsonValue& entry : data.value(u"classes").toArray()) {
        const QJsonObject o = entry.toObject();
        ComponentClass c;
        c.library = library;
        c.name = o.value(u"name").toString();
        c.progId = o.value(u"progId").toString();
        c.versionIndependentProgId = o.value(u"versionIndependentProgId").toString();
        c.clsid = o.value(u"clsid").toString();
        c.typeName = o.value(u"typeName").toString();
        c.file = file;
        if (c.name.isEmpty()) {
            qWarning().noquote() << "Component library" << file << "lists a class without a name";
            continue;
        }
        result.append(c);
    }
    return result;
}

} // namespace

ComponentLoader& ComponentLoader::instance() {
    static ComponentLoader loader;
    return loader;
}

ComponentLoader::ComponentLoader() = default;
ComponentLoader::~ComponentLoader() = default;

QStringList ComponentLoader::searchPathsLocked() const {
    QStringList paths;
    const QString env = qEnvironmentVariable("VELTRAX_PLUGIN_PATH");
    for (const QString& p : env.split(u':', Qt::SkipEmptyParts))
        paths << p;
    paths << addedPaths_;
    if (QCoreApplication::instance()) {
        const QString appDir = QCoreApplication::applicationDirPath();
        paths << QDir::cleanPath(appDir + QStringLiteral("/../plugins"));
        paths << QDir::cleanPath(appDir + QStringLiteral("/plugins"));
        // The installed layout: the program in <prefix>/bin, its component libraries in
        // <prefix>/lib/veltrax (see the install rules in the top-level CMakeLists.txt). Listed
        // only where that folder exists, so a build tree's search path stays as it was.
        const QString installed = QDir::cleanPath(appDir + QStringLiteral("/../lib/veltrax"));
        if (QFileInfo(installed).isDir())
            paths << installed;
    }
    return paths;
}

QStringList ComponentLoader::searchPaths() const {
    std::lock_guard lock(mutex_);
    return searchPathsLocked();
}

void ComponentLoader::addSearchPath(const QString& folder) {
    std::lock_guard lock(mutex_);
    addedPaths_ << folder;
    scanned_ = false;
}

void ComponentLoader::rescan() {
    std::lock_guard lock(mutex_);
    scanLocked();
}

void ComponentLoader::scanLocked() const {
    classes_.clear();
    QSet<QString> seenFiles;
    for (const QString& folder : searchPathsLocked()) {
        const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files, QDir::Name);
        for (const QFileInfo& info : entries) {
            if (!QLibrary::isLibrary(info.fileName()))
                continue;
            const QString file = info.canonicalFilePath();
            if (file.isEmpty() || seenFiles.contains(file))
                continue;
            seenFiles.insert(file);
            for (const ComponentClass& c : readClasses(file)) {
                const bool taken = findLocked(c.progId) || findLocked(c.versionIndependentProgId) ||
                                   findLocked(c.clsid);
                if (taken) {
                    qWarning().noquote() << "Component class" << c.progId << "in" << file
                                         << "is already provided by another library; ignored";
                    continue;
                }
                classes_.append(c);
            }
        }
    }
    scanned_ = true;
}

void ComponentLoader::ensureScannedLocked() const {
    if (!scanned_)
        scanLocked();
}

std::optional<ComponentClass> ComponentLoader::findLocked(const QString& progIdOrClsid) const {
    for (const ComponentClass& c : classes_) {
        if (matches(c, progIdOrClsid))
            return c;
    }
    return std::nullopt;
}

std::optional<ComponentClass> ComponentLoader::find(const QString& progIdOrClsid) const {
    std::lock_guard lock(mutex_);
    ensureScannedLocked();
    return findLocked(progIdOrClsid);
}

QList<ComponentClass> ComponentLoader::classes() const {
    std::lock_guard lock(mutex_);
    ensureScannedLocked();
    return classes_;
}

QObject* ComponentLoader::create(const QString& progId, HRESULT* result, QString* error) {
    auto fail = [&](HRESULT code, const QString& message) -> QObject* {
        if (result)
            *result = code;
        if (error)
            *error = message;
        return nullptr;
    };

    std::unique_lock lock(mutex_);
    ensureScannedLocked();
    const std::optional<ComponentClass> found = findLocked(progId);
    if (!found) {
        return fail(ResultCode::REGDB_E_CLASSNOTREG,
                    QStringLiteral("No component is registered under \"%1\".").arg(progId));
    }

    std::unique_ptr<QPluginLoader>& loader = loaders_[found->file];
    if (!loader)
        loader = std::make_unique<QPluginLoader>(found->file);
    QObject* root = loader->instance();
    const QString loadError = root ? QString() : loader->errorString();
    // The factory may itself create components, so it runs without the lock.
    lock.unlock();

    if (!root) {
        return fail(ResultCode::CLASS_E_CLASSNOTAVAILABLE,
                    QStringLiteral("The component library \"%1\" could not be loaded: %2")
                        .arg(found->file, loadError));
    }
    auto* factory = qobject_cast<ComponentFactory*>(root);
    if (!factory) {
        return fail(ResultCode::CLASS_E_CLASSNOTAVAILABLE,
                    QStringLiteral("The component library \"%1\" has no component factory.")
                        .arg(found->file));
    }
    QObject* object = factory->createInstance(found->name);
    if (!object) {
        return fail(ResultCode::CLASS_E_CLASSNOTAVAILABLE,
                    QStringLiteral("The component library \"%1\" could not create \"%2\".")
                        .arg(found->file, found->name));
    }
    object->setParent(nullptr);
    if (result)
        *result = ResultCode::S_OK;
    if (error)
        error->clear();
    return object;
}

} // namespace platform
