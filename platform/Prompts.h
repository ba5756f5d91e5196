#pragma once

#include <QColor>
#include <QString>
#include <QUrl>

#include <optional>

class QDialog;

namespace platform {

// The button sets, icons and answers of a message box; the numbers are the classic ones, so a value
// read from a script or a file means the same here.
enum class PromptButtons {
    Ok = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5
};
enum class PromptIcon {
    None = 0,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64
};
enum class PromptAnswer { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

// The title used where a box has no title of its own: "Veltrax".
QString applicationTitle();

// Every question the program puts to the user goes through the installed Prompts, so tests can
// install a recording double and nothing ever waits for a click.
class Prompts {
public:
    virtual ~Prompts();

    // An empty title shows applicationTitle(). Returns the button pressed.
    virtual PromptAnswer messageBox(const QString& text, const QString& title,
                                    PromptButtons buttons, PromptIcon icon) = 0;
    // A line of text; an empty title shows applicationTitle(). Returns an empty string when
    // cancelled.
    virtual QString inputBox(const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;
    // A folder; empty when cancelled.
    virtual QString pickFolder(const QString& title, const QString& startFolder) = 0;
    // A colour; nullopt when cancelled.
    virtual std::optional<QColor> pickColor(const QString& title, const QColor& initial) = 0;
    // Runs a modal dialog (property pages, settings dialogs); returns a QDialog::DialogCode.
    virtual int execDialog(QDialog& dialog) = 0;
    // Opens a folder or a web address with the desktop's handler; false when that failed.
    virtual bool openExternal(const QUrl& url) = 0;

    // The installed prompts, a QtPrompts unless something else was installed.
    static Prompts& instance();
    // Installs p; nullptr restores the default. The caller keeps ownership and must install
    // something else before destroying p.
    static void install(Prompts* p);

    // The answers a button set offers, in the order the buttons are shown; the first is the
    // default button.
    static QList<PromptAnswer> answersOf(PromptButtons buttons);

protected:
    // The title to show for a box: title, or applicationTitle() when it is empty.
    static QString effectiveTitle(const QString& title);
};

} // namespace platform
