#pragma once

#include "platform/Prompts.h"

#include <QMessageBox>

namespace platform {

// The real prompts: Qt's standard dialogs, parented to the active window.
class QtPrompts : public Prompts {
public:
    PromptAnswer messageBox(const QString& text, const QString& title, PromptButtons buttons,
                            PromptIcon icon) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString pickFolder(const QString& title, const QString& startFolder) override;
    std::optional<QColor> pickColor(const QString& title, const QColor& initial) override;
    int execDialog(QDialog& dialog) override;
    bool openExternal(const QUrl& url) override;

    // How a prompt maps onto QMessageBox.
    static QMessageBox::StandardButton standardButton(PromptAnswer answer);
    static QMessageBox::StandardButtons standardButtons(PromptButtons buttons);
    static QMessageBox::Icon messageBoxIcon(PromptIcon icon);
    // The answer for the button that closed a box showing the given set. A box closed without a
    // button of its set (the window's close button) answers Cancel when it has one, else its first
    // button.
    static PromptAnswer answerFor(int clickedButton, PromptButtons buttons);
};

} // namespace platform
