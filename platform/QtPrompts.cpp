#include "platform/QtPrompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>

namespace platform {

QMessageBox::StandardButton QtPrompts::standardButton(PromptAnswer answer) {
    switch (answer) {
    case PromptAnswer::Ok:
        return QMessageBox::Ok;
    case PromptAnswer::Cancel:
        return QMessageBox::Cancel;
    case PromptAnswer::Abort:
        return QMessageBox::Abort;
    case PromptAnswer::Retry:
        return QMessageBox::Retry;
    case PromptAnswer::Ignore:
        return QMessageBox::Ignore;
    case PromptAnswer::Yes:
        return QMessageBox::Yes;
    case PromptAnswer::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButtons QtPrompts::standardButtons(PromptButtons buttons) {
    QMessageBox::StandardButtons result;
    for (PromptAnswer answer : answersOf(buttons))
        result |= standardButton(answer);
    return result;
}

QMessageBox::Icon QtPrompts::messageBoxIcon(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::None:
        return QMessageBox::NoIcon;
    case PromptIcon::Critical:
        return QMessageBox::Critical;
    case PromptIcon::Question:
        return QMessageBox::Question;
    case PromptIcon::Exclamation:
        return QMessageBox::Warning;
    case PromptIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

PromptAnswer QtPrompts::answerFor(int clickedButton, PromptButtons buttons) {
    const QList<PromptAnswer> offered = answersOf(buttons);
    for (PromptAnswer answer : offered) {
        if (standardButton(answer) == clickedButton)
            return answer;
    }
    return offered.contains(PromptAnswer::Cancel) ? PromptAnswer::Cancel : offered.first();
}

PromptAnswer QtPrompts::messageBox(const QString& text, const QString& title, PromptButtons buttons,
                                   PromptIcon icon) {
    QMessageBox box(messageBoxIcon(icon), effectiveTitle(title), text, standardButtons(buttons),
                    QApplication::activeWindow());
    box.setDefaultButton(standardButton(answersOf(buttons).first()));
    box.exec();
    return answerFor(box.standardButton(box.clickedButton()), buttons);
}

QString QtPrompts::inputBox(const QString& prompt, const QString& title,
                            const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), effectiveTitle(title),
                                               prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtPrompts::pickFolder(const QString& title, const QString& startFolder) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, startFolder);
}

std::optional<QColor> QtPrompts::pickColor(const QString& title, const QColor& initial) {
    const QColor color = QColorDialog::getColor(initial, QApplication::activeWindow(), title);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

int QtPrompts::execDialog(QDialog& dialog) {
    return dialog.exec();
}

bool QtPrompts::openExternal(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace platform
