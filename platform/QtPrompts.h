#pragma once

#include "platform/Prompts.h"

#include <QList>
#include <QMessageBox>
#include <QPointer>

namespace platform {

// The real prompts: Qt's standard dialogs, parented to the active window. Notices are modeless
// boxes; questions are modal.
class QtPrompts : public Prompts {
public:
    bool openExternal(const QUrl& url) override;

    // How a prompt maps onto QMessageBox.
    static QMessageBox::StandardButton standardButton(PromptAnswer answer);
    static QMessageBox::StandardButtons standardButtons(PromptButtons buttons);
    static QMessageBox::Icon messageBoxIcon(PromptIcon icon);
    // The answer for the button that closed a box showing the given set. A box closed without a
    // button of its set (the window's close button) answers Cancel when it has one, else its first
    // button.
    static PromptAnswer answerFor(int clickedButton, PromptButtons buttons);

protected:
    void showNotice(const QString& text, const QString& title, PromptIcon icon,
                    std::function<void()> dismissed) override;
    PromptAnswer askQuestion(const QString& text, const QString& title, PromptButtons buttons,
                             PromptIcon icon) override;
    QString askText(const QString& prompt, const QString& title,
                    const QString& defaultText) override;
    QString askFolder(const QString& prompt, const QString& title,
                      const QString& startFolder) override;
    std::optional<QColor> askColor(const QString& title, const QColor& initial) override;
    int runDialog(QDialog& dialog) override;
    void closeShownPrompts() override;

private:
    // Runs a modal dialog, kept in the list of shown prompts while it runs.
    int runShown(QDialog& dialog);

    QList<QPointer<QDialog>> m_shown;
};

} // namespace platform
