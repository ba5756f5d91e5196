#pragma once

#include "platform/ComponentClass.h"
#include "platform/ResultCodes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

class QPluginLoader;

namespace platform {

// Creates objects of classes that live in component libraries, by ProgID: this is how the
// program's components find each other at run time.
//
// A component library is a Qt plugin with the IID VeltraxComponentFactory_iid whose metadata file
// names its classes:
//   { "library": "Nexuvo",
//     "classes": [ { "name": "Assist", "progId": "Nexuvo.Assist.1",
//                    "versionIndependentProgId": "Nexuvo.Assist",
//                    "clsid": "{51C94F15-BCBA-43C2-8643-A04616E5E39F}",
//                    "typeName": "Assist Class" } ] }
//
// Plugins are looked for in, in this order: the folders in VELTRAX_PLUGIN_PATH (colon-separated),
// the folders given to addSearchPath() in the order given, <program folder>/../plugins,
// <program folder>/plugins and, where it exists, <program folder>/../lib/veltrax (where an
// installed program keeps them). When two libraries name the same ProgID or CLSID, the first found
// wins. Scanning reads only the metadata; a library is loaded when its first object is created and
// stays loaded for the rest of the run.
//
// All members may be called from any thread; the objects are created in the calling thread.
class ComponentLoader {
public:
    static ComponentLoader& instance();

    ComponentLoader();
    ~ComponentLoader();
    ComponentLoader(const ComponentLoader&) = delete;
    ComponentLoader& operator=(const ComponentLoader&) = delete;

    // A new object of the class registered under progId, which may be the versioned or the
    // version-independent ProgID in any case, or the CLSID (braces optional). The object has no
    // parent; the caller owns it. On failure returns nullptr and sets *result and *error:
    // - REGDB_E_CLASSNOTREG when no library names the class;
    // - CLASS_E_CLASSNOTAVAILABLE when its library does not load or declines to create it.
    // On success *result is S_OK and *error is emptied.
    QObject* create(const QString& progId, HRESULT* result = nullptr, QString* error = nullptr);

    // The class registered under a ProgID or CLSID, matched as create() does.
    std::optional<ComponentClass> find(const QString& progIdOrClsid) const;
    // Every class found, in search order.
    QList<ComponentClass> classes() const;

    // The folders searched, in order, as things stand now.
    QStringList searchPaths() const;
    // Adds a folder to search; takes effect at the next lookup.
    void addSearchPath(const QString& folder);
    // Reads the metadata of every plugin in the search path again.
    void rescan();

private:
    void scanLocked() const;
    void ensureScannedLocked() const;
    std::optional<ComponentClass> findLocked(const QString& progIdOrClsid) const;
    QStringList searchPathsLocked() const;

    mutable std::mutex mutex_;
    QStringList addedPaths_;
    mutable bool scanned_ = false;
    mutable QList<ComponentClass> classes_;
    // By absolute file path; kept across rescans so a loaded library is loaded only once.
    std::map<QString, std::unique_ptr<QPluginLoader>> loaders_;
};

} // namespace platform
