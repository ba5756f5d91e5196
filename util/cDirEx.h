#pragma once

#include <QFileInfo>
#include <QObject>
#include <QStringList>

#include <functional>

namespace util {

// Finds files below a folder: one or more file-name patterns, optionally in every subfolder,
// filtered by attributes, optionally with case-sensitive matching. The full paths found are kept
// until the next search.
//
// SearchFile("/srv/audio/*.mp3,*.wma") searches /srv/audio/ for *.mp3 and then for *.wma; with
// RecursiveSearch on, each folder's own files come before those of its subfolders (depth first),
// folders and names in name order. A file matching two patterns is found twice.
//
// Runs on the user-interface thread. Before every directory entry it runs its message pump (by
// default QCoreApplication::processEvents()), so the user interface stays responsive and
// StopSearch() can arrive from a button or any other handler in the middle of a search.
class cDirEx : public QObject {
    Q_OBJECT
public:
    // Attribute bits, as the masks of SearchFile and the CurrentFile event use them. Linux keeps
    // no such bits, so they are read off each entry:
    //   ReadOnly     the user may not write the entry;
    //   Hidden       the name begins with a dot;
    //   System       neither a regular file nor a folder (device, pipe, socket);
    //   Directory    a folder, or a link to one;
    //   Normal       none of the others (Archive is never set);
    //   ReparsePoint a symbolic link. The search never descends into a linked folder, so a link
    //                back up the tree cannot make it run for ever, and it never leaves the tree.
    enum Attribute : quint32 {
        ReadOnly = 0x1,
        Hidden = 0x2,
        System = 0x4,
        Directory = 0x10,
        Archive = 0x20,
        Normal = 0x80,
        ReparsePoint = 0x400
    };

    // Status(): how the last search ended.
    enum SearchStatus : int {
        Found = 0,           // finished and found at least one file (also: still running)
        Stopped = 1120,      // ended by StopSearch()
        EmptyPath = 1121,    // no path was given
        NothingFound = 1122, // finished and found nothing
        Failed = 1123        // an error ended the search (no pattern to search for)
    };

    explicit cDirEx(QObject* parent = nullptr);

    bool CaseSensitive() const { return m_caseSensitive; }
    // On: a name must also match its pattern with regard to case, where * stands for any run of
    // characters, ? for one, # for one digit and [list] for one character of the list ([a-z]
    // ranges, [!list] any other). Off: * and ? only, without regard to case.
    void setCaseSensitive(bool on) { m_caseSensitive = on; }
    bool RecursiveSearch() const { return m_recursiveSearch; }
    void setRecursiveSearch(bool on) { m_recursiveSearch = on; }

    // Runs a whole search before returning; the results, Count() and Status() are reset first.
    // Pathname is a folder ending in "/" followed by the patterns:
    // - with at most one dot in the whole path, its last five characters are the one pattern
    //   ("/srv/audio/*.mp3" searches for *.mp3; "/srv/audio/*.flac" for ".flac");
    // - otherwise the text after the last "/" is split at commas into the patterns; without a
    //   comma it is the one pattern (with nothing after the "/" there is none: status Failed).
    // A path without any "/" searches the current folder and gives relative paths.
    // A file is found when every bit of Attributes is set on it (0: no condition) and no bit of
    // NotAttributes is (0: no condition).
    void SearchFile(const QString& Pathname, quint32 Attributes = 0, quint32 NotAttributes = 0);
    // Ends the running search at its next check; what was found so far stays.
    void StopSearch() { m_status = Stopped; }

    // Number of results.
    int Count() const { return static_cast<int>(m_results.size()); }
    // The result at a 1-based Index; empty outside 1 to Count().
    QString Item(int Index) const;
    // Removes the result at a 1-based Index; nothing outside 1 to Count().
    void Remove(int Index);
    // The results in the order found, for a for-each over them.
    QStringList NewEnum() const { return m_results; }
    QStringList::const_iterator begin() const { return m_results.cbegin(); }
    QStringList::const_iterator end() const { return m_results.cend(); }

    int Status() const { return m_status; }
    // The patterns of the last search.
    QStringList Patterns() const { return m_patterns; }

    // What runs before every directory entry; an empty function runs nothing.
    void setMessagePump(std::function<void()> pump) { m_pump = std::move(pump); }

    // The attribute bits of an entry (see Attribute).
    static quint32 attributesOf(const QFileInfo& entry);

signals:
    // A folder's files are about to be searched (the folder without its trailing "/").
    void CurrentFolder(const QString& folder);
    // A file was added to the results (its attributes without the Normal bit).
    void CurrentFile(quint32 attributes, const QString& fileName, const QString& folder);
    // The end of every SearchFile.
    void Finished(int status, int foundCount);

private:
    bool ParseSearchPath(QString& path);
    void SearchFolder(QString folder);
    void SearchFiles(const QString& folder, const QFileInfoList& entries);
    bool passesAttributes(quint32 attributes) const;
    bool CheckStop();
    static QString QualifyPath(const QString& path);

    QStringList m_results;
    int m_foundCount = 0;
    QStringList m_patterns;
    quint32 m_mustHave = 0;
    quint32 m_mustNotHave = 0;
    bool m_recursiveSearch = false;
    bool m_caseSensitive = false;
    int m_status = Found;
    std::function<void()> m_pump;
};

} // namespace util
