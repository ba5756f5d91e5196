#pragma once

#include <QString>

namespace util {

// The program's entry in the user's list of programs started at log-on: an XDG autostart entry,
// the file "<value name>.desktop" in $XDG_CONFIG_HOME/autostart (~/.config/autostart when the
// variable is unset or not an absolute path). The value name is the executable's file name
// without extension; the entry runs the program's own path.
//
// Stateless apart from the program path it was made for: every call reads or writes the folder
// afresh. Called on the user-interface thread.
class clsStartup {
public:
    // The entry is made for the running program (QCoreApplication::applicationFilePath()).
    clsStartup();
    // The entry is made for the program at programPath; tests use this to keep their own name.
    explicit clsStartup(const QString& programPath);

    // Paths have no short form here: the path comes back unchanged.
    QString GetShortPath(const QString& strFileName) const;

    // bVal true writes (or rewrites) the entry, enabled, for the program's current path; false
    // removes it. True when the entry is in the asked state afterwards: written completely, or
    // gone (also when there was none). False when the folder cannot be created or the file cannot
    // be written or removed.
    bool LaunchAtStartUp(bool bVal) const;

    // True when the program's own entry is present and enabled: the file entryFilePath(), the
    // one LaunchAtStartUp writes and removes, its name compared with regard to case ("veltrax2"
    // and "Veltrax" do not count for "veltrax"). An entry the desktop was told to skip
    // (Hidden=true, or X-GNOME-Autostart-enabled=false) does not count.
    bool IsSetAtStartup() const;

    // The folder the entries live in.
    static QString autostartFolder();
    // The value name of the entry: the executable's file name without extension.
    QString valueName() const;
    // The full path of the entry file.
    QString entryFilePath() const;
    // The text of the entry as LaunchAtStartUp(true) writes it.
    QString entryText() const;
    // The Exec value for program: quoted where the path needs it, with the escapes desktop entry
    // files require, so any path (blanks, quotes, "%", "$", backslashes, line breaks) runs exactly
    // that program.
    static QString execValue(const QString& program);

private:
    QString GetExeShortPath() const;

    QString programPath_;
};

} // namespace util
