#include "util/clsFileFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace util {

namespace {

bool isFolder(const QString& path) {
    return QFileInfo(path).isDir();
}

// Creates one level whose parent exists. Another program creating the same folder at the same
// moment is not a failure.
bool createLevel(const QString& path) {
    return QDir().mkdir(path) || isFolder(path);
}

} // namespace

bool clsFileFolder::CreatePath(const QString& NewPath) const {
    QString path = NewPath;
    if (path.endsWith(u'/'))
        path.chop(1);
    if (path.isEmpty() && NewPath.isEmpty())
        return false;

    // A leading "/" gives an empty first part, so the first level tested is the root itself.
    const QStringList parts = path.split(u'/');
    QString current;
    for (const QString& part : parts) {
        current += part + u'/';
        if (!isFolder(current) && !createLevel(current))
            return false;
    }
    return true;
}

} // namespace util
