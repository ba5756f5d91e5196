#pragma once

#include <QString>

namespace platform {

// The per-user settings store: one INI file per application at
// $XDG_CONFIG_HOME/<application>/<application>.ini, values addressed by section and key.
//
// Every value is stored as text, so the file reads the same whatever wrote it:
// - whole numbers as decimal digits;
// - Booleans as the words True and False;
// - date-times as a day number (see DayNumber) written in the user's locale, e.g. "45474,5" under
//   a German locale. The user's locale is QLocale(), which is the system locale unless the program
//   set another default.
//
// Reading never fails: a missing or malformed value gives the caller's default.
//
// Each save is written to the disk before it returns, because the program may be ended at any
// moment and the next start must find the value. The store's location is worked out on every call,
// so a change of XDG_CONFIG_HOME takes effect at once. All members may be called from any thread.
class Settings {
public:
    // The name the store is kept under. Until set, the executable's file name without extension.
    static QString applicationName();
    // The program sets "veltrax"; tests set the same name to share the program's store. An empty
    // name goes back to the executable's name.
    static void setApplicationName(const QString& name);
    // The full path of the store's file as things stand now.
    static QString filePath();

    // The stored text. A value that was hand-edited into a comma-separated list reads back as the
    // items joined by commas.
    static QString getString(const QString& section, const QString& key, const QString& def = {});
    static void saveString(const QString& section, const QString& key, const QString& value);

    // Accepts an optionally signed run of decimal digits with blanks around it; anything else,
    // including a fraction such as "12.7" or a number beyond the range of int, gives def.
    static int getInt(const QString& section, const QString& key, int def);
    static void saveInt(const QString& section, const QString& key, int value);

    // Accepts True and False in any case, or a number where 0 is false and any other number true.
    static bool getBool(const QString& section, const QString& key, bool def);
    static void saveBool(const QString& section, const QString& key, bool value);

    // A day number. Accepts the user's locale form and also the C form with a decimal point.
    static double getDate(const QString& section, const QString& key, double def);
    static void saveDate(const QString& section, const QString& key, double dayNumber);

    static bool contains(const QString& section, const QString& key);
    // Removes the value; removing one that is not there does nothing.
    static void remove(const QString& section, const QString& key);
};

} // namespace platform
