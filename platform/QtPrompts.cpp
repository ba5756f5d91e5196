#include "platform/QtPrompts.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>

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

// A modeless box that deletes itself when dismissed; nothing waits for it.
void QtPrompts::showNotice(const QString& text, const QString& title, PromptIcon icon,
                           std::function<void()> dismissed) {
    auto* box = new QMessageBox(messageBoxIcon(icon), effectiveTitle(title), text, QMessageBox::Ok,
                                QApplication::activeWindow());
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    QObject::connect(box, &QObject::destroyed, [dismissed = std::move(dismissed)] { dismissed(); });
    m_shown.removeAll(QPointer<QDialog>());
    m_shown.append(box);
    box->show();
}

int QtPrompts::runShown(QDialog& dialog) {
    m_shown.append(&dialog);
    const int result = dialog.exec();
    m_shown.removeAll(&dialog);
    return result;
}

PromptAnswer QtPrompts::askQuestion(const QString& text, const QString& title,
                                    PromptButtons buttons, PromptIcon icon) {
    QMessageBox box(messageBoxIcon(icon), effectiveTitle(title), text, standardButtons(buttons),
                    QApplication::activeWindow());
    box.setDefaultButton(standardButton(answersOf(buttons).first()));
    runShown(box);
    if (closingAll())
        return cancelAnswerOf(buttons);
    return answerFor(box.standardButton(box.clickedButton()), buttons);
}

QString QtPrompts::askText(const QString& prompt, const QString& title,
                           const QString& defaultText) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(effectiveTitle(title));
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    return runShown(dialog) == QDialog::Accepted ? dialog.textValue() : QString();
}

// The desktop's own folder dialogs have no place for a prompt: Qt's dialog is used, with the
// prompt in a line of its own below the folders.
QString QtPrompts::askFolder(const QString& prompt, const QString& title,
                             const QString& startFolder) {
    QFileDialog dialog(QApplication::activeWindow(), title, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()); grid && !prompt.isEmpty())
        grid->addWidget(new QLabel(prompt, &dialog), grid->rowCount(), 0, 1, grid->columnCount());
    if (runShown(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

std::optional<QColor> QtPrompts::askColor(const QString& title, const QColor& initial) {
    QColorDialog dialog(initial, QApplication::activeWindow());
    dialog.setWindowTitle(title);
    if (runShown(dialog) != QDialog::Accepted || !dialog.selectedColor().isValid())
        return std::nullopt;
    return dialog.selectedColor();
}

int QtPrompts::runDialog(QDialog& dialog) {
    return runShown(dialog);
}

void QtPrompts::closeShownPrompts() {
    const QList<QPointer<QDialog>> shown = m_shown;
    for (const QPointer<QDialog>& dialog : shown) {
        if (dialog)
            dialog->reject();
    }
    m_shown.clear();
}

bool QtPrompts::openExternal(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace platform
