#include "util/cDirEx.h"

#include <QCoreApplication>
#include <QDir>

namespace util {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// One character against a [list] whose text (between the brackets) is given: "a-z" ranges, a
// leading "!" for any character not in the list. Case counts.
bool matchesList(QStringView list, QChar c) {
    bool negated = false;
    if (list.startsWith(u'!')) {
        negated = true;
        list = list.mid(1);
    }
    bool found = false;
    for (qsizetype i = 0; i < list.size() && !found; ++i) {
        if (i + 2 < list.size() && list[i + 1] == u'-') {
            found = c >= list[i] && c <= list[i + 2];
            i += 2;
        } else {
            found = c == list[i];
        }
    }
    return found != negated;
}

// Whether the pattern element at p matches c; next is set to the element after it.
// like: the case-sensitive form with # and [list]; otherwise only ? is special and case does
// not count.
bool matchesElement(QStringView pattern, qsizetype p, QChar c, bool like, qsizetype& next) {
    const QChar element = pattern[p];
    next = p + 1;
    if (element == u'?')
        return true;
    if (!like)
        return element.toCaseFolded() == c.toCaseFolded();
    if (element == u'#')
        return isDigit(c);
    if (element == u'[') {
        const qsizetype close = pattern.indexOf(u']', p + 1);
        if (close > p) { // an unclosed bracket is an ordinary character
            next = close + 1;
            return matchesList(pattern.sliced(p + 1, close - p - 1), c);
        }
    }
    return element == c;
}

// The whole name against the whole pattern; * stands for any run of characters.
bool matchesWildcard(QStringView name, QStringView pattern, bool like) {
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype afterStar = -1; // pattern position after the last *, -1 before any
    qsizetype starName = 0;   // name position that last * has consumed up to
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            afterStar = ++p;
            starName = n;
            continue;
        }
        qsizetype next = p;
        if (p < pattern.size() && matchesElement(pattern, p, name[n], like, next)) {
            p = next;
            ++n;
            continue;
        }
        if (afterStar < 0)
            return false;
        p = afterStar; // let the last * take one more character
        n = ++starName;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

void processPendingEvents() {
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace

cDirEx::cDirEx(QObject* parent) : QObject(parent), m_pump(processPendingEvents) {}

QString cDirEx::Item(int Index) const {
    if (Index < 1 || Index > Count())
        return {};
    return m_results.at(Index - 1);
}

void cDirEx::Remove(int Index) {
    if (Index >= 1 && Index <= Count())
        m_results.removeAt(Index - 1);
}

quint32 cDirEx::attributesOf(const QFileInfo& entry) {
    quint32 attributes = 0;
    if (entry.isSymLink())
        attributes |= ReparsePoint;
    if (entry.isDir())
        attributes |= Directory;
    else if (entry.exists() && !entry.isFile())
        attributes |= System;
    if (entry.fileName().startsWith(u'.'))
        attributes |= Hidden;
    if (entry.exists() && !entry.isWritable())
        attributes |= ReadOnly;
    return attributes == 0 ? quint32(Normal) : attributes;
}

void cDirEx::SearchFile(const QString& Pathname, quint32 Attributes, quint32 NotAttributes) {
    m_foundCount = 0;
    m_results.clear();
    m_status = Found;
    if (Pathname.isEmpty()) {
        m_status = EmptyPath;
    } else {
        m_mustHave = Attributes;
        m_mustNotHave = NotAttributes;
        QString folder = Pathname;
        if (ParseSearchPath(folder))
            SearchFolder(folder);
        if (m_foundCount == 0 && m_status == Found)
            m_status = NothingFound;
    }
    emit Finished(m_status, m_foundCount);
}

// Splits path into the folder (kept in path, with its trailing "/") and the patterns.
bool cDirEx::ParseSearchPath(QString& path) {
    const qsizetype lastSlash = path.lastIndexOf(u'/');
    if (path.indexOf(u'.') == path.lastIndexOf(u'.')) {
        m_patterns = {path.right(5)};
    } else {
        // A list without a comma is one pattern; nothing after the last "/" is none.
        const QString last = path.mid(lastSlash + 1).trimmed();
        m_patterns.clear();
        if (!last.isEmpty()) {
            for (const QString& piece : last.split(u','))
                m_patterns.append(piece.trimmed());
        }
    }
    path.truncate(lastSlash + 1);
    return true;
}

void cDirEx::SearchFolder(QString folder) {
    if (CheckStop())
        return;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    const QFileInfoList entries =
        QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
            .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Name | QDir::IgnoreCase);
    QStringList subfolders;
    for (const QFileInfo& entry : entries) {
        if (CheckStop())
            return;
        if (m_recursiveSearch && entry.isDir() && !entry.isSymLink())
            subfolders.append(entry.fileName());
    }
    emit CurrentFolder(QualifyPath(folder));
    SearchFiles(folder, entries);
    for (const QString& name : subfolders)
        SearchFolder(folder + name + u'/');
}

// The entries of one folder, pattern after pattern.
void cDirEx::SearchFiles(const QString& folder, const QFileInfoList& entries) {
    if (m_patterns.isEmpty()) {
        m_status = Failed;
        return;
    }
    for (const QString& pattern : m_patterns) {
        for (const QFileInfo& entry : entries) {
            const QString name = entry.fileName();
            if (!matchesWildcard(name, pattern, false))
                continue;
            if (CheckStop())
                return;
            if (m_caseSensitive && !matchesWildcard(name, pattern, true))
                continue;
            const quint32 attributes = attributesOf(entry);
            if (!passesAttributes(attributes))
                continue;
            ++m_foundCount;
            m_results.append(folder + name);
            emit CurrentFile(attributes & ~quint32(Normal), name, folder);
        }
    }
}

bool cDirEx::passesAttributes(quint32 attributes) const {
    const bool hasAll = m_mustHave == 0 || (attributes & m_mustHave) == m_mustHave;
    const bool hasNone = m_mustNotHave == 0 || (attributes & m_mustNotHave) == 0;
    return hasAll && hasNone;
}

// Gives the user interface its chance to run, then says whether the search must end.
bool cDirEx::CheckStop() {
    if (m_pump)
        m_pump();
    return m_status != Found;
}

// A folder as the CurrentFolder event names it: without its trailing "/", except the root.
QString cDirEx::QualifyPath(const QString& path) {
    if (path.size() > 1 && path.endsWith(u'/'))
        return path.chopped(1);
    return path;
}

} // namespace util
