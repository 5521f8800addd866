// The shell's desktop pieces against the real services of the test desktop:
// the notification daemon on the session bus, the tray host and a local
// socket. The active window's class is proven end to end, in the history
// entry of a real dictation.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
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
    // A service's error page: markup to the server unless escaped, and long.
    notifier.notify("Quillo Error", "<html><b>Bad gateway</b> & " + std::string(400, 'x') + "</html>");
    QString added;
    for (int i = 0; i < 60; ++i) {
        processEventsFor(50);
        added = notificationLog().mid(before.size());
        if (added.count(QStringLiteral("member=Notify")) >= 3) {
            break;
        }
    }
    EXPECT_EQ(added.count(QStringLiteral("member=Notify")), 3) << added.toStdString();
    EXPECT_TRUE(added.contains(QStringLiteral("string \"&lt;html&gt;&lt;b&gt;Bad gateway&lt;/b&gt; &amp; ") +
                               QString(272, QLatin1Char('x')) + QStringLiteral("\u2026\"")))
        << added.toStdString();
    EXPECT_TRUE(added.contains(
        QStringLiteral("string \"OpenAI rejected the API key. Check OPENAI_API_KEY or credentials.json.\"")));
    EXPECT_TRUE(added.contains(QStringLiteral("string \"No internet connection.\"")));
    EXPECT_EQ(added.count(QStringLiteral("string \"Quillo Error\"")), 3);
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
    int light = 0;
    int dark = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 200) {
                (qGray(image.pixel(x, y)) > 200 ? light : dark) += 1;
            }
        }
    }
    // Light ink vanishes on a light panel and dark ink on a dark one: both are needed.
    EXPECT_GT(light, 50) << "the fallback letter must be drawn, the icon never empty";
    EXPECT_GT(dark, 50) << "the letter needs an outline to read on a light panel";
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

TEST(SingleInstance, OfTwoLaunchesStartedTogetherOneRuns)
{
    QTemporaryDir dir;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
        environment.insert(QString::fromLatin1(name), dir.path());
    }
    // A long history makes for a slow start, as on a desktop used for months.
    QDir(dir.path()).mkpath(QStringLiteral("Quillo"));
    QFile history(dir.filePath(QStringLiteral("Quillo/history.json")));
    ASSERT_TRUE(history.open(QIODevice::WriteOnly));
    history.write("[");
    for (int i = 0; i < 200000; ++i) {
        history.write(QStringLiteral("%1{\"id\":\"6F9619FF-8B86-D011-B42D-%2\",\"text\":\"words of a dictation\","
                                     "\"date\":790000000.5}")
                          .arg(i == 0 ? QString() : QStringLiteral(","))
                          .arg(QString::number(i, 16).toUpper().rightJustified(12, QLatin1Char('0')))
                          .toUtf8());
    }
    history.write("]");
    history.close();
    QProcess launches[2];
    for (QProcess& launch : launches) {
        launch.setProcessEnvironment(environment);
        launch.start(QStringLiteral(QUILLO_BINARY), {});
    }
    for (QProcess& launch : launches) {
        ASSERT_TRUE(launch.waitForStarted());
    }
    const auto running = [&] {
        return int(launches[0].state() != QProcess::NotRunning) + int(launches[1].state() != QProcess::NotRunning);
    };
    for (int i = 0; i < 400 && running() == 2; ++i) {
        processEventsFor(50);
    }
    processEventsFor(1000); // time for a wrongly started second one to show itself
    EXPECT_EQ(running(), 1) << "both launches run, and every dictation would be pasted twice";
    for (QProcess& launch : launches) {
        if (launch.state() == QProcess::NotRunning) {
            EXPECT_EQ(launch.exitCode(), 0) << launch.readAllStandardError().toStdString();
        }
        launch.terminate();
        launch.waitForFinished(10000);
    }
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
