// The tray icon's status, hiding in the tray and coming back, and the answers the settings menu
// accepts.
#include "WindowFixture.h"

#include "app/AppIcons.h"

#include <QAction>
#include <QImage>
#include <QSystemTrayIcon>

using platform::PromptAnswer;
using platform::Settings;

namespace {

class TrayAndMenusTest : public WindowFixture {
protected:
    static QImage imageOf(const QIcon& icon) { return icon.pixmap(32, 32).toImage(); }
    QImage trayImage() const { return imageOf(window->TrayICon->icon()); }

    void countdown() { window->Tavrel_CountingDowntoInterval(0, 100); }
    void answer(QAction* entry, const QString& text) {
        prompts->queueInput(text);
        entry->trigger();
    }
};

} // namespace

TEST_F(TrayAndMenusTest, TrayFollowsTheRecordingFromTheFirstCountdown) {
    EXPECT_EQ(window->TrayState(), "");
    EXPECT_EQ(window->TrayICon->toolTip(), "Veltrax");
    countdown();
    EXPECT_EQ(window->TrayState(), "Stopped");
    EXPECT_EQ(window->TrayICon->toolTip(), "STOPPED!");
    EXPECT_EQ(trayImage(), imageOf(AppIcons::stoppedIcon()));

    window->cmdRecord_Click();
    ASSERT_TRUE(window->AnyLoggerRecording()) << qPrintable(prompts->texts().join(" | "));
    countdown();
    EXPECT_EQ(window->TrayState(), "normal");
    EXPECT_EQ(window->TrayICon->toolTip(), "Recording OK");
    EXPECT_EQ(trayImage(), imageOf(window->windowIcon()));
    // Only a change of state touches the tray.
    window->TrayICon->setToolTip("untouched");
    countdown();
    EXPECT_EQ(window->TrayICon->toolTip(), "untouched");

    window->cmdStopRec_Click();
    countdown();
    EXPECT_EQ(window->TrayState(), "Stopped");
    EXPECT_EQ(window->TrayICon->toolTip(), "STOPPED!");
}

TEST_F(TrayAndMenusTest, MinimisingHidesInTheTrayAndAClickBringsTheWindowBack) {
    window->trayAvailable = [] {
        return true;
    };
    window->show();
    window->setWindowState(Qt::WindowMaximized);
    EXPECT_FALSE(window->windowState() & Qt::WindowMaximized);

    window->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(window->isVisible());
    emit window->TrayICon->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(window->isVisible());
    emit window->TrayICon->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());

    // Without a tray to come back from, a minimised window stays where the desktop can find it.
    window->trayAvailable = [] {
        return false;
    };
    window->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(TrayAndMenusTest, PortAnswers) {
    answer(window->mnuStreamPort, "9000");
    EXPECT_EQ(prompts->last().text,
              "Enter the port number on which to \r\nsend the WMA log stream.");
    EXPECT_EQ(prompts->last().title, "Enter Public Port number.");
    EXPECT_EQ(prompts->last().extra, "8080");
    for (const char* refused : {"0", "-5", "70000", "65535.6", "0.4"}) {
        prompts->clear();
        answer(window->mnuStreamPort, refused);
        EXPECT_EQ(prompts->texts(), QStringList{"Invalid port number!"}) << refused;
    }
    prompts->clear();
    for (const char* ignored : {"", "port"})
        answer(window->mnuStreamPort, ignored);
    EXPECT_EQ(prompts->texts(), QStringList{});
    EXPECT_EQ(window->PortNumber(), 9000);
    for (int accepted : {65535, 1}) {
        answer(window->mnuStreamPort, QString::number(accepted));
        EXPECT_EQ(Settings::getString("Settings", "PortNumber"), QString::number(accepted));
        EXPECT_EQ(window->Tavrel(1)->PortNumber(), accepted);
    }
}

TEST_F(TrayAndMenusTest, ListenerAnswers) {
    answer(window->mnuStreamMaxClients, "80");
    EXPECT_EQ(prompts->texts(), QStringList{"The maximum is 50!"});
    EXPECT_EQ(prompts->records().first().title, "Enter Max number of Listeners.");
    EXPECT_EQ(Settings::getString("Settings", "MaxClients"), "50");
    answer(window->mnuStreamMaxClients, "12.5");
    EXPECT_EQ(window->Tavrel(1)->MaxClients(), 12);
    prompts->clear();
    for (const char* ignored : {"0", "-2", "0.3", "", "many"})
        answer(window->mnuStreamMaxClients, ignored);
    EXPECT_EQ(prompts->texts(), QStringList{});
    EXPECT_EQ(Settings::getString("Settings", "MaxClients"), "12");
    answer(window->mnuStreamMaxClients, "50");
    EXPECT_EQ(prompts->texts(), QStringList{});
    EXPECT_EQ(window->MaxClients(), 50);
}

TEST_F(TrayAndMenusTest, StartWithTheDesktopAsksAboutAutoStartOnlyWhenTurnedOn) {
    ASSERT_FALSE(window->LaunchAtStartup());
    prompts->queueAnswer(PromptAnswer::No);
    window->mnuStartup->trigger();
    EXPECT_TRUE(window->mnuStartup->isChecked());
    EXPECT_EQ(prompts->last().text, "Start Recording Automatically as well?");
    EXPECT_EQ(prompts->last().title, "AutoStart Recording Also?");
    EXPECT_FALSE(window->AutoStart());

    window->mnuStartup->trigger(); // off again: no question
    EXPECT_FALSE(window->mnuStartup->isChecked());
    EXPECT_EQ(prompts->count(), 1);

    prompts->queueAnswer(PromptAnswer::Yes);
    window->mnuStartup->trigger();
    EXPECT_TRUE(window->AutoStart());
    EXPECT_TRUE(window->mnuAutoStart->isChecked());
    window->mnuStartup->trigger();
    EXPECT_TRUE(window->AutoStart()); // turning it off leaves AutoStart alone
    window->mnuAutoStart->trigger();
    EXPECT_FALSE(window->AutoStart());
}
