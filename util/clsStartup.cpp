#include "util/clsStartup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

namespace util {

namespace {

const QString kSuffix = QStringLiteral(".desktop");
const QString kGroup = QStringLiteral("[Desktop Entry]");

QString runningProgramPath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

// Characters that make the desktop's command-line parser split or reinterpret an argument.
bool needsQuoting(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\r\"'\\><~|&;$*?#()`");
    for (QChar c : argument) {
        if (reserved.contains(c))
            return true;
    }
    return argument.isEmpty();
}

QString quoteArgument(const QString& argument) {
    if (!needsQuoting(argument))
        return argument;
    QString quoted = QStringLiteral("\"");
    for (QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

// The escapes every string value of a desktop entry file goes through; applied last on writing.
QString escapeStringValue(const QString& value) {
    QString escaped;
    for (QChar c : value) {
        if (c == u'\\')
            escaped += QStringLiteral("\\\\");
        else if (c == u'\n')
            escaped += QStringLiteral("\\n");
        else if (c == u'\r')
            escaped += QStringLiteral("\\r");
        else if (c == u'\t')
            escaped += QStringLiteral("\\t");
        else
            escaped += c;
    }
    return escaped;
}

// False when the entry's [Desktop Entry] group tells the desktop not to start it.
bool entryIsEnabled(const QString& filePath) {
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return true; // present, even if it cannot be read
    QTextStream in(&file);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == kGroup;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QStringLiteral("Hidden") && value == QStringLiteral("true"))
            return false;
        if (key == QStringLiteral("X-GNOME-Autostart-enabled") && value == QStringLiteral("false"))
            return false;
    }
    return true;
}

} // namespace

clsStartup::clsStartup() : programPath_(runningProgramPath()) {}

clsStartup::clsStartup(const QString& programPath) : programPath_(programPath) {}

QString clsStartup::GetShortPath(const QString& strFileName) const {
    return strFileName;
}

QString clsStartup::GetExeShortPath() const {
    const QFileInfo program(programPath_);
    QString folder = GetShortPath(program.path());
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + program.fileName();
}

QString clsStartup::autostartFolder() {
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty() || QDir::isRelativePath(configHome))
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/autostart");
}

QString clsStartup::valueName() const {
    return QFileInfo(programPath_).completeBaseName();
}

QString clsStartup::entryFilePath() const {
    return autostartFolder() + u'/' + valueName() + kSuffix;
}

QString clsStartup::execValue(const QString& program) {
    QString exec = quoteArgument(program);
    exec.replace(u'%', QStringLiteral("%%"));
    return escapeStringValue(exec);
}

QString clsStartup::entryText() const {
    return kGroup + QStringLiteral("\nType=Application\nName=") + escapeStringValue(valueName()) +
           QStringLiteral("\nExec=") + execValue(GetExeShortPath()) +
           QStringLiteral("\nX-GNOME-Autostart-enabled=true\n");
}

bool clsStartup::LaunchAtStartUp(bool bVal) const {
    if (valueName().isEmpty())
        return false;

    if (!bVal) {
        QFile entry(entryFilePath());
        return !entry.exists() || entry.remove();
    }

    if (!QDir().mkpath(autostartFolder()))
        return false;
    QSaveFile entry(entryFilePath());
    if (!entry.open(QIODevice::WriteOnly))
        return false;
    entry.write(entryText().toUtf8());
    return entry.commit();
}

bool clsStartup::IsSetAtStartup() const {
    const QString name = valueName();
    if (name.isEmpty())
        return false;

    // The one entry LaunchAtStartUp writes and removes: another program's entry whose name only
    // begins the same way would keep the answer true after the program's own was removed.
    const QFileInfo entry(entryFilePath());
    return entry.isFile() && entryIsEnabled(entry.filePath());
}

} // namespace util
