// The shell's desktop pieces against the real services of the test desktop:
// the notification daemon on the session bus, the tray host and a local
// socket. The active window's class is proven end to end, in the history
// entry of a real dictation.

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "platform/qt/QtDBusNotifier.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/TrayStatusItem.h"

namespace quillo::test {
namespace {

QString notificationLog()
{
    QFile file(qEnvironmentVariable("QUILLO_TEST_DESKTOP_DIR") + QStringLiteral("/notifications.log"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

TEST(DBusNotifier, EachCallIsANewNotificationWithExactTexts)
{
    QtDBusNotifier notifier;
    const QString before = notificationLog();
    notifier.notify("Quillo Error", "OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json.");
    notifier.notify("Quillo Error", "No internet connection.");
    QString added;
    for (int i = 0; i < 60; ++i) {
        processEventsFor(50);
        added = notificationLog().mid(before.size());
        if (added.count(QStringLiteral("member=Notify")) >= 2) {
            break;
        }
    }
    EXPECT_EQ(added.count(QStringLiteral("member=Notify")), 2) << added.toStdString();
    EXPECT_TRUE(added.contains(
        QStringLiteral("string \"OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json.\"")));
    EXPECT_TRUE(added.contains(QStringLiteral("string \"No internet connection.\"")));
    EXPECT_EQ(added.count(QStringLiteral("string \"Quillo Error\"")), 2);
    EXPECT_FALSE(added.contains(QStringLiteral("uint32 1\n"))) << "a notification must never replace another";

    // The test desktop's server shows buttons, so the Retry button goes along.
    ASSERT_TRUE(notifier.supportsActions());
    notifier.notify("Quillo Error", "No internet connection.", "Retry", [] {});
    for (int i = 0; i < 60 && !notificationLog().mid(before.size()).contains(QStringLiteral("\"Retry\"")); ++i) {
        processEventsFor(50);
    }
    EXPECT_TRUE(notificationLog().mid(before.size()).contains(QStringLiteral("string \"Retry\"")));
}

TEST(TrayStatusItem, ShowsInTheTrayHostWithTheMenu)
{
    ASSERT_TRUE(QSystemTrayIcon::isSystemTrayAvailable()) << "the test desktop's tray host is missing";
    TrayStatusItem item;
    int toggles = 0;
    StatusItem::Actions actions;
    actions.toggleDictation = [&] { ++toggles; };
    ASSERT_TRUE(item.setUp(actions));
    processEventsFor(300);
    ASSERT_NE(item.menu(), nullptr);
    QStringList titles;
    for (QAction* action : item.menu()->actions()) {
        titles << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("Quillo"),
                           QStringLiteral("-"),
                           QStringLiteral("Dictation: ON"),
                           QStringLiteral("Open Quillo"),
                           QStringLiteral("-"),
                           QStringLiteral("Quit Quillo")}));
    EXPECT_FALSE(item.menu()->actions().first()->isEnabled());
    EXPECT_EQ(item.menu()->actions().last()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    item.menu()->actions().at(2)->trigger();
    EXPECT_EQ(toggles, 1);
    item.setToggleTitle("Dictation: OFF");
    EXPECT_EQ(item.menu()->actions().at(2)->text(), QStringLiteral("Dictation: OFF"));
}

TEST(TrayStatusItem, MissingIconsFallBackToDrawnText)
{
    const QIcon drawn = TrayStatusItem::menuBarImage("no.such.symbol", "Q");
    ASSERT_FALSE(drawn.isNull());
    const QImage image = drawn.pixmap(72, 72).toImage();
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            inked += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 50) << "the fallback letter must be drawn, the icon never empty";
}

TEST(SingleInstance, ASecondLaunchReachesTheFirst)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillo.socket"));
    SingleInstance first(path);
    EXPECT_FALSE(first.notifyRunningInstance()) << "nobody is listening yet";
    int reopened = 0;
    ASSERT_TRUE(first.listen([&] { ++reopened; }));

    SingleInstance second(path);
    EXPECT_TRUE(second.notifyRunningInstance());
    for (int i = 0; i < 40 && reopened == 0; ++i) {
        processEventsFor(25);
    }
    EXPECT_EQ(reopened, 1);
}

TEST(SingleInstance, AStaleSocketFromACrashIsReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quillo.socket"));
    QFile stale(path);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance(path);
    EXPECT_FALSE(instance.notifyRunningInstance());
    EXPECT_TRUE(instance.listen([] {}));
}

} // namespace
} // namespace quillo::test
