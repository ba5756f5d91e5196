#pragma once

#include "platform/Prompts.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

namespace platform {

// The prompts for tests: nothing is shown; every prompt is recorded in order and answered from the
// answers the test queued for its kind, or with a fixed default once the queue is empty.
class RecordingPrompts : public Prompts {
public:
    enum class Kind { MessageBox, InputBox, Folder, Color, Dialog, OpenExternal };

    struct Record {
        Kind kind = Kind::MessageBox;
        // MessageBox: the message; InputBox: the prompt; Dialog: the dialog's class name.
        QString text;
        // As shown, so an empty title given to a message or input box reads applicationTitle().
        // Dialog: the dialog's window title.
        QString title;
        PromptButtons buttons = PromptButtons::Ok;
        PromptIcon icon = PromptIcon::None;
        // InputBox: the default text; Folder: the start folder; Color: the initial colour's
        // #rrggbb name; Dialog: the window title; OpenExternal: the address.
        QString extra;
        // False for a notice, which its caller did not wait for; true for a question.
        bool waited = true;
    };

    // Records the address and reports success.
    bool openExternal(const QUrl& url) override;

    void queueAnswer(PromptAnswer answer) { answers_.enqueue(answer); }
    void queueInput(const QString& text) { inputs_.enqueue(text); }
    void queueFolder(const QString& folder) { folders_.enqueue(folder); }
    void queueColor(std::optional<QColor> color) { colors_.enqueue(color); }
    void queueDialogResult(int result) { dialogResults_.enqueue(result); }

    std::function<int(QDialog&)> onDialog;
    // Called while a question is shown, before it is answered: what a test sees here is what the
    // program had done before the person answered.
    std::function<void(const Record&)> whileAsking;

    // Notices go away at once unless held; held ones stay open until dismissNotices().
    void holdNotices(bool hold) { holdNotices_ = hold; }
    void dismissNotices();

    const QList<Record>& records() const { return records_; }
    qsizetype count() const { return records_.size(); }
    // How many prompts of one kind were recorded.
    qsizetype count(Kind kind) const;
    // The most recent record; must not be called when there is none.
    const Record& last() const;
    // The texts of the message boxes (notices and questions), in order.
    QStringList texts() const;
    // Forgets the records and every queued answer; onDialog stays.
    void clear();

protected:
    void showNotice(const QString& text, const QString& title, PromptIcon icon,
                    std::function<void()> dismissed) override;
    // Without a queued answer: the box's first button (Ok, Abort, Yes, Yes, Retry).
    PromptAnswer askQuestion(const QString& text, const QString& title, PromptButtons buttons,
                             PromptIcon icon) override;
    // Without a queued input: the default text, as if the user pressed OK at once.
    QString askText(const QString& prompt, const QString& title,
                    const QString& defaultText) override;
    // Without a queued folder: empty (cancelled).
    QString askFolder(const QString& prompt, const QString& title,
                      const QString& startFolder) override;
    // Without a queued colour: nullopt (cancelled).
    std::optional<QColor> askColor(const QString& title, const QColor& initial) override;
    // Never shows the dialog. The result comes from onDialog when it is set (it may fill in the
    // dialog's widgets, and call accept() to run the dialog's own OK handling), else from the
    // queue, else QDialog::Rejected. The dialog's result() is set to the returned value; its
    // accept() and reject() are not called by this class.
    int runDialog(QDialog& dialog) override;
    void closeShownPrompts() override;

private:
    void recordQuestion(const Record& record);

    QList<Record> records_;
    QQueue<PromptAnswer> answers_;
    QQueue<QString> inputs_;
    QQueue<QString> folders_;
    QQueue<std::optional<QColor>> colors_;
    QQueue<int> dialogResults_;
    bool holdNotices_ = false;
    QList<std::function<void()>> heldNotices_;
};

} // namespace platform
