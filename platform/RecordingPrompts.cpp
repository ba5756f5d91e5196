#include "platform/RecordingPrompts.h"

#include <QDialog>

#include <algorithm>

namespace platform {

void RecordingPrompts::showNotice(const QString& text, const QString& title, PromptIcon icon,
                                  std::function<void()> dismissed) {
    records_.append(
        {Kind::MessageBox, text, effectiveTitle(title), PromptButtons::Ok, icon, {}, false});
    if (holdNotices_)
        heldNotices_.append(std::move(dismissed));
    else
        dismissed();
}

void RecordingPrompts::dismissNotices() {
    const QList<std::function<void()>> held = std::exchange(heldNotices_, {});
    for (const std::function<void()>& dismissed : held)
        dismissed();
}

void RecordingPrompts::recordQuestion(const Record& record) {
    records_.append(record);
    if (whileAsking)
        whileAsking(record);
}

PromptAnswer RecordingPrompts::askQuestion(const QString& text, const QString& title,
                                           PromptButtons buttons, PromptIcon icon) {
    recordQuestion({Kind::MessageBox, text, effectiveTitle(title), buttons, icon, {}});
    if (closingAll())
        return cancelAnswerOf(buttons);
    return answers_.isEmpty() ? answersOf(buttons).first() : answers_.dequeue();
}

QString RecordingPrompts::askText(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    recordQuestion({Kind::InputBox, prompt, effectiveTitle(title), PromptButtons::OkCancel,
                    PromptIcon::None, defaultText});
    if (closingAll())
        return {};
    return inputs_.isEmpty() ? defaultText : inputs_.dequeue();
}

QString RecordingPrompts::askFolder(const QString& prompt, const QString& title,
                                    const QString& startFolder) {
    recordQuestion(
        {Kind::Folder, prompt, title, PromptButtons::OkCancel, PromptIcon::None, startFolder});
    if (closingAll())
        return {};
    return folders_.isEmpty() ? QString() : folders_.dequeue();
}

std::optional<QColor> RecordingPrompts::askColor(const QString& title, const QColor& initial) {
    recordQuestion({Kind::Color,
                    {},
                    title,
                    PromptButtons::OkCancel,
                    PromptIcon::None,
                    initial.isValid() ? initial.name() : QString()});
    if (closingAll())
        return std::nullopt;
    return colors_.isEmpty() ? std::nullopt : colors_.dequeue();
}

int RecordingPrompts::runDialog(QDialog& dialog) {
    recordQuestion({Kind::Dialog, QString::fromLatin1(dialog.metaObject()->className()),
                    dialog.windowTitle(), PromptButtons::OkCancel, PromptIcon::None,
                    dialog.windowTitle()});
    int result = QDialog::Rejected;
    if (closingAll())
        result = QDialog::Rejected;
    else if (onDialog)
        result = onDialog(dialog);
    else if (!dialogResults_.isEmpty())
        result = dialogResults_.dequeue();
    dialog.setResult(result);
    return result;
}

void RecordingPrompts::closeShownPrompts() {
    dismissNotices();
}

bool RecordingPrompts::openExternal(const QUrl& url) {
    records_.append(
        {Kind::OpenExternal, {}, {}, PromptButtons::Ok, PromptIcon::None, url.toString()});
    return true;
}

qsizetype RecordingPrompts::count(Kind kind) const {
    return std::count_if(records_.begin(), records_.end(),
                         [kind](const Record& r) { return r.kind == kind; });
}

const RecordingPrompts::Record& RecordingPrompts::last() const {
    Q_ASSERT(!records_.isEmpty());
    return records_.last();
}

QStringList RecordingPrompts::texts() const {
    QStringList result;
    for (const Record& r : records_) {
        if (r.kind == Kind::MessageBox)
            result << r.text;
    }
    return result;
}

void RecordingPrompts::clear() {
    records_.clear();
    answers_.clear();
    inputs_.clear();
    folders_.clear();
    colors_.clear();
    dialogResults_.clear();
}

} // namespace platform
