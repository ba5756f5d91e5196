#pragma once

#include <QString>

namespace platform {

// One creatable class as a component library's metadata describes it.
struct ComponentClass {
    QString library;                  // the library's name, e.g. "Nexuvo"
    QString name;                     // the class's name, passed to the factory, e.g. "Assist"
    QString progId;                   // e.g. "Nexuvo.Assist.1"
    QString versionIndependentProgId; // e.g. "Nexuvo.Assist"
    QString clsid;                    // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
    QString typeName;                 // e.g. "Assist Class"
    QString file;                     // absolute path of the plugin file
};

} // namespace platform
