#pragma once

#include <QColor>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
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

// Every prompt the program shows goes through the installed Prompts, so tests can install a
// recording double and nothing ever waits for a click.
//
// Two kinds of prompt:
// - A notice (a message box with an OK button only: there is nothing to choose) never holds the
//   routine that raised it. It is shown and the call returns Ok at once; the box stays until it
//   is dismissed. The same notice raised again while it is still open is not shown a second time.
// - A question (any other message box, an input box, a folder or colour picker, a dialog) waits
//   for its answer: a person asked for it.
// Every notice and every answered question is also a line in the event log.
class Prompts {
public:
    virtual ~Prompts();

    // An empty title shows applicationTitle(). Returns the button pressed (Ok for a notice).
    PromptAnswer messageBox(const QString& text, const QString& title, PromptButtons buttons,
                            PromptIcon icon);
    // A line of text; an empty title shows applicationTitle(). Returns an empty string when
    // cancelled.
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText);
    // A folder, with a line saying what it is for; empty when cancelled.
    QString pickFolder(const QString& prompt, const QString& title, const QString& startFolder);
    // A colour; nullopt when cancelled.
    std::optional<QColor> pickColor(const QString& title, const QColor& initial);
    // Runs a modal dialog (property pages, settings dialogs); returns a QDialog::DialogCode.
    int execDialog(QDialog& dialog);
    // Opens a folder or a web address with the desktop's handler; false when that failed.
    virtual bool openExternal(const QUrl& url) = 0;

    // The program is going away: every prompt still open is closed, a question as if cancelled,
    // and every later question is answered as cancelled without being shown.
    void closeAll();
    bool closingAll() const { return closingAll_; }
    // How many notices are open now.
    qsizetype openNotices() const { return openNotices_.size(); }

    // The installed prompts, a QtPrompts unless something else was installed.
    static Prompts& instance();
    // Installs p; nullptr restores the default. The caller keeps ownership and must install
    // something else before destroying p.
    static void install(Prompts* p);

    // The answers a button set offers, in the order the buttons are shown; the first is the
    // default button.
    static QList<PromptAnswer> answersOf(PromptButtons buttons);
    // The answer of a question closed without a choice: Cancel when offered, else No, else the
    // first button.
    static PromptAnswer cancelAnswerOf(PromptButtons buttons);

protected:
    // Shows a notice and returns at once; `dismissed` is called when the box goes away.
    virtual void showNotice(const QString& text, const QString& title, PromptIcon icon,
                            std::function<void()> dismissed) = 0;
    // The waiting forms. A question closed by closeAll() returns what a cancel returns.
    virtual PromptAnswer askQuestion(const QString& text, const QString& title,
                                     PromptButtons buttons, PromptIcon icon) = 0;
    virtual QString askText(const QString& prompt, const QString& title,
                            const QString& defaultText) = 0;
    virtual QString askFolder(const QString& prompt, const QString& title,
                              const QString& startFolder) = 0;
    virtual std::optional<QColor> askColor(const QString& title, const QColor& initial) = 0;
    virtual int runDialog(QDialog& dialog) = 0;
    // Closes every prompt shown now: notices go, questions return as cancelled.
    virtual void closeShownPrompts() = 0;

    // The title to show for a box: title, or applicationTitle() when it is empty.
    static QString effectiveTitle(const QString& title);

private:
    QSet<QString> openNotices_;
    bool closingAll_ = false;
};

} // namespace platform
