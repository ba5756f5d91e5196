#include "platform/Prompts.h"
#include "platform/QtPrompts.h"
#include "platform/RecordingPrompts.h"
#include "platform/ScopedPrompts.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace platform;
using Kind = RecordingPrompts::Kind;

namespace {

TEST(PromptsInstallTest, DefaultIsQtAndInstallRestores) {
    EXPECT_NE(dynamic_cast<QtPrompts*>(&Prompts::instance()), nullptr);
    RecordingPrompts recording;
    Prompts::install(&recording);
    EXPECT_EQ(&Prompts::instance(), &recording);
    Prompts::install(nullptr);
    EXPECT_NE(dynamic_cast<QtPrompts*>(&Prompts::instance()), nullptr);
}

TEST(PromptsInstallTest, ScopedPromptsNestAndRestore) {
    Prompts* original = &Prompts::instance();
    {
        ScopedPrompts outer;
        EXPECT_EQ(&Prompts::instance(), &outer.prompts());
        {
            ScopedPrompts inner;
            EXPECT_EQ(&Prompts::instance(), &inner.prompts());
            Prompts::instance().messageBox(QStringLiteral("inner"), {}, PromptButtons::Ok,
                                           PromptIcon::None);
            EXPECT_EQ(inner->count(), 1);
        }
        EXPECT_EQ(&Prompts::instance(), &outer.prompts());
        EXPECT_EQ(outer->count(), 0);
    }
    EXPECT_EQ(&Prompts::instance(), original);
}

class RecordingPromptsTest : public testing::Test {
protected:
    ScopedPrompts scoped;
    RecordingPrompts& rec = scoped.prompts();
    Prompts& prompts = Prompts::instance();
};

TEST_F(RecordingPromptsTest, MessageBoxRecordsWhatWasShown) {
    prompts.messageBox(QStringLiteral("Disk full"), QStringLiteral("Recorder"),
                       PromptButtons::RetryCancel, PromptIcon::Critical);
    ASSERT_EQ(rec.count(), 1);
    const RecordingPrompts::Record& r = rec.last();
    EXPECT_EQ(r.kind, Kind::MessageBox);
    EXPECT_EQ(r.text, QStringLiteral("Disk full"));
    EXPECT_EQ(r.title, QStringLiteral("Recorder"));
    EXPECT_EQ(r.buttons, PromptButtons::RetryCancel);
    EXPECT_EQ(r.icon, PromptIcon::Critical);
}

TEST_F(RecordingPromptsTest, EmptyTitleShowsTheApplicationTitle) {
    prompts.messageBox(QStringLiteral("m"), {}, PromptButtons::Ok, PromptIcon::None);
    EXPECT_EQ(rec.last().title, QStringLiteral("Veltrax"));
    prompts.inputBox(QStringLiteral("p"), {}, {});
    EXPECT_EQ(rec.last().title, QStringLiteral("Veltrax"));
    EXPECT_EQ(applicationTitle(), QStringLiteral("Veltrax"));
}

TEST_F(RecordingPromptsTest, UnscriptedMessageBoxAnswersItsFirstButton) {
    const std::pair<PromptButtons, PromptAnswer> expected[] = {
        {PromptButtons::Ok, PromptAnswer::Ok},
        {PromptButtons::OkCancel, PromptAnswer::Ok},
        {PromptButtons::AbortRetryIgnore, PromptAnswer::Abort},
        {PromptButtons::YesNoCancel, PromptAnswer::Yes},
        {PromptButtons::YesNo, PromptAnswer::Yes},
        {PromptButtons::RetryCancel, PromptAnswer::Retry},
    };
    for (const auto& [buttons, answer] : expected) {
        EXPECT_EQ(prompts.messageBox({}, {}, buttons, PromptIcon::None), answer)
            << static_cast<int>(buttons);
    }
}

TEST_F(RecordingPromptsTest, ScriptedAnswersComeInOrderPerKind) {
    rec.queueAnswer(PromptAnswer::No);
    rec.queueAnswer(PromptAnswer::Cancel);
    rec.queueInput(QStringLiteral("typed"));
    EXPECT_EQ(prompts.inputBox(QStringLiteral("Name?"), {}, QStringLiteral("dflt")),
              QStringLiteral("typed"));
    EXPECT_EQ(prompts.messageBox({}, {}, PromptButtons::YesNoCancel, PromptIcon::Question),
              PromptAnswer::No);
    EXPECT_EQ(prompts.messageBox({}, {}, PromptButtons::YesNoCancel, PromptIcon::Question),
              PromptAnswer::Cancel);
    // Queues used up: back to the defaults.
    EXPECT_EQ(prompts.messageBox({}, {}, PromptButtons::YesNoCancel, PromptIcon::Question),
              PromptAnswer::Yes);
    EXPECT_EQ(prompts.inputBox(QStringLiteral("Name?"), {}, QStringLiteral("dflt")),
              QStringLiteral("dflt"));
    EXPECT_EQ(rec.last().extra, QStringLiteral("dflt"));
    EXPECT_EQ(rec.last().text, QStringLiteral("Name?"));
}

TEST_F(RecordingPromptsTest, FolderColourAndExternalOpen) {
    EXPECT_TRUE(prompts
                    .pickFolder(QStringLiteral("For what?"), QStringLiteral("Where?"),
                                QStringLiteral("/srv"))
                    .isEmpty());
    EXPECT_EQ(rec.last().kind, Kind::Folder);
    EXPECT_EQ(rec.last().extra, QStringLiteral("/srv"));
    rec.queueFolder(QStringLiteral("/srv/audio"));
    EXPECT_EQ(prompts.pickFolder({}, {}, {}), QStringLiteral("/srv/audio"));

    EXPECT_FALSE(prompts.pickColor(QStringLiteral("Colour"), QColor(Qt::red)).has_value());
    EXPECT_EQ(rec.last().kind, Kind::Color);
    EXPECT_EQ(rec.last().extra, QStringLiteral("#ff0000"));
    rec.queueColor(QColor(Qt::blue));
    rec.queueColor(std::nullopt);
    EXPECT_EQ(prompts.pickColor({}, {}), QColor(Qt::blue));
    EXPECT_FALSE(prompts.pickColor({}, {}).has_value());

    EXPECT_TRUE(prompts.openExternal(QUrl(QStringLiteral("https://example.org/help"))));
    EXPECT_EQ(rec.last().kind, Kind::OpenExternal);
    EXPECT_EQ(rec.last().extra, QStringLiteral("https://example.org/help"));

    EXPECT_EQ(rec.count(Kind::Folder), 2);
    EXPECT_EQ(rec.count(Kind::Color), 3);
    EXPECT_EQ(rec.count(), 6);
}

TEST_F(RecordingPromptsTest, TextsListsMessageBoxesOnlyAndClearForgetsEverything) {
    prompts.messageBox(QStringLiteral("one"), {}, PromptButtons::Ok, PromptIcon::None);
    prompts.inputBox(QStringLiteral("not a message"), {}, {});
    prompts.messageBox(QStringLiteral("two"), {}, PromptButtons::Ok, PromptIcon::None);
    EXPECT_EQ(rec.texts(), QStringList({QStringLiteral("one"), QStringLiteral("two")}));

    rec.queueAnswer(PromptAnswer::No);
    rec.queueDialogResult(QDialog::Accepted);
    rec.clear();
    EXPECT_EQ(rec.count(), 0);
    EXPECT_EQ(prompts.messageBox({}, {}, PromptButtons::YesNo, PromptIcon::None),
              PromptAnswer::Yes);
    QDialog dialog;
    EXPECT_EQ(prompts.execDialog(dialog), QDialog::Rejected);
}

TEST_F(RecordingPromptsTest, DialogsAreNeverShown) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Properties"));
    EXPECT_EQ(prompts.execDialog(dialog), QDialog::Rejected);
    EXPECT_EQ(rec.last().kind, Kind::Dialog);
    EXPECT_EQ(rec.last().title, QStringLiteral("Properties"));
    EXPECT_EQ(rec.last().extra, QStringLiteral("Properties"));
    EXPECT_EQ(rec.last().text, QStringLiteral("QDialog"));

    rec.queueDialogResult(QDialog::Accepted);
    EXPECT_EQ(prompts.execDialog(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(RecordingPromptsTest, HookFillsInTheDialog) {
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QStringLiteral("name"));
    bool wasVisible = true;
    rec.onDialog = [&](QDialog& d) {
        wasVisible = d.isVisible();
        d.findChild<QLineEdit*>(QStringLiteral("name"))->setText(QStringLiteral("Studio A"));
        return int(QDialog::Accepted);
    };
    EXPECT_EQ(prompts.execDialog(dialog), QDialog::Accepted);
    EXPECT_FALSE(wasVisible);
    EXPECT_EQ(edit->text(), QStringLiteral("Studio A"));
}

TEST(QtPromptsMappingTest, ButtonSets) {
    EXPECT_EQ(QtPrompts::standardButtons(PromptButtons::Ok), QMessageBox::Ok);
    EXPECT_EQ(QtPrompts::standardButtons(PromptButtons::OkCancel),
              QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(QtPrompts::standardButtons(PromptButtons::AbortRetryIgnore),
              QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
    EXPECT_EQ(QtPrompts::standardButtons(PromptButtons::YesNoCancel),
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(QtPrompts::standardButtons(PromptButtons::YesNo), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(QtPrompts::standardButtons(PromptButtons::RetryCancel),
              QMessageBox::Retry | QMessageBox::Cancel);
}

TEST(QtPromptsMappingTest, ClickedButtonToAnswer) {
    const std::pair<QMessageBox::StandardButton, PromptAnswer> pairs[] = {
        {QMessageBox::Ok, PromptAnswer::Ok},         {QMessageBox::Cancel, PromptAnswer::Cancel},
        {QMessageBox::Abort, PromptAnswer::Abort},   {QMessageBox::Retry, PromptAnswer::Retry},
        {QMessageBox::Ignore, PromptAnswer::Ignore}, {QMessageBox::Yes, PromptAnswer::Yes},
        {QMessageBox::No, PromptAnswer::No},
    };
    const PromptButtons sets[] = {
        PromptButtons::Ok,          PromptButtons::OkCancel, PromptButtons::AbortRetryIgnore,
        PromptButtons::YesNoCancel, PromptButtons::YesNo,    PromptButtons::RetryCancel};
    for (PromptButtons set : sets) {
        for (const auto& [button, answer] : pairs) {
            if (QtPrompts::standardButtons(set).testFlag(button)) {
                EXPECT_EQ(QtPrompts::answerFor(button, set), answer);
            }
        }
    }
    // Closed with the window's close button.
    EXPECT_EQ(QtPrompts::answerFor(QMessageBox::NoButton, PromptButtons::YesNoCancel),
              PromptAnswer::Cancel);
    EXPECT_EQ(QtPrompts::answerFor(QMessageBox::NoButton, PromptButtons::AbortRetryIgnore),
              PromptAnswer::Abort);
    EXPECT_EQ(QtPrompts::answerFor(QMessageBox::NoButton, PromptButtons::Ok), PromptAnswer::Ok);
}

// The real boxes, on the offscreen platform: a notice is modeless and returns at once, the same
// notice is not stacked, and closing everything ends a question that is waiting.
TEST(QtPromptsTest, NoticesDoNotWaitOrStackAndClosingAllEndsAWaitingQuestion) {
    const auto noticeBoxes = [] {
        QList<QMessageBox*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box && box->isVisible() && box->text() == QStringLiteral("Drive gone"))
                boxes << box;
        }
        return boxes;
    };
    QtPrompts prompts;
    EXPECT_EQ(prompts.messageBox(QStringLiteral("Drive gone"), {}, PromptButtons::Ok,
                                 PromptIcon::Critical),
              PromptAnswer::Ok);
    prompts.messageBox(QStringLiteral("Drive gone"), {}, PromptButtons::Ok, PromptIcon::Critical);
    ASSERT_EQ(noticeBoxes().size(), 1);
    EXPECT_FALSE(noticeBoxes().first()->isModal());
    EXPECT_EQ(prompts.openNotices(), 1);
    noticeBoxes().first()->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(prompts.openNotices(), 0);
    prompts.messageBox(QStringLiteral("Drive gone"), {}, PromptButtons::Ok, PromptIcon::Critical);
    EXPECT_EQ(noticeBoxes().size(), 1);

    // Should closing fail, the question is closed after a while anyway, and the test fails
    // instead of hanging.
    QTimer::singleShot(100, [&prompts] { prompts.closeAll(); });
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            static_cast<QDialog*>(modal)->done(QMessageBox::Yes);
    });
    EXPECT_EQ(prompts.messageBox(QStringLiteral("Really?"), {}, PromptButtons::YesNo,
                                 PromptIcon::Question),
              PromptAnswer::No);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(prompts.openNotices(), 0);
    EXPECT_TRUE(noticeBoxes().isEmpty());
    // Once closing, nothing more is asked.
    EXPECT_EQ(prompts.messageBox(QStringLiteral("Again?"), {}, PromptButtons::YesNoCancel,
                                 PromptIcon::Question),
              PromptAnswer::Cancel);
    EXPECT_TRUE(prompts.inputBox(QStringLiteral("Days?"), {}, QStringLiteral("90")).isEmpty());
}

} // namespace
