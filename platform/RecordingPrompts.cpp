#include "platform/RecordingPrompts.h"

#include <QDialog>

#include <algorithm>

namespace platform {

PromptAnswer RecordingPrompts::messageBox(const QString& text, const QString& title,
                                          PromptButtons buttons, PromptIcon icon) {
    records_.append({Kind::MessageBox, text, effectiveTitle(title), buttons, icon, {}});
    return answers_.isEmpty() ? answersOf(buttons).first() : answers_.dequeue();
}

QString RecordingPrompts::inputBox(const QString& prompt, const QString& title,
                                   const QString& defaultText) {
    records_.append({Kind::InputBox, prompt, effectiveTitle(title), PromptButtons::OkCancel,
                     PromptIcon::None, defaultText});
    return inputs_.isEmpty() ? defaultText : inputs_.dequeue();
}

QString RecordingPrompts::pickFolder(const QString& title, const QString& startFolder) {
    records_.append(
        {Kind::Folder, {}, title, PromptButtons::OkCancel, PromptIcon::None, startFolder});
    return folders_.isEmpty() ? QString() : folders_.dequeue();
}

std::optional<QColor> RecordingPrompts::pickColor(const QString& title, const QColor& initial) {
    records_.append({Kind::Color,
                     {},
                     title,
                     PromptButtons::OkCancel,
                     PromptIcon::None,
                     initial.isValid() ? initial.name() : QString()});
    return colors_.isEmpty() ? std::nullopt : colors_.dequeue();
}

int RecordingPrompts::execDialog(QDialog& dialog) {
    records_.append({Kind::Dialog, QString::fromLatin1(dialog.metaObject()->className()),
                     dialog.windowTitle(), PromptButtons::OkCancel, PromptIcon::None,
                     dialog.windowTitle()});
    int result = QDialog::Rejected;
    if (onDialog)
        result = onDialog(dialog);
    else if (!dialogResults_.isEmpty())
        result = dialogResults_.dequeue();
    dialog.setResult(result);
    return result;
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
