// The shell's desktop pieces against the real services of the test desktop:
// the notification daemon on the session bus, the tray icon, a racing second launch.

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "platform/qt/QtDBusNotifier.h"
#include "ui/shell/TrayStatusItem.h"

namespace quillo::test {
namespace {

QString notificationLog()
{
    QFile file(qEnvironmentVariable("QUILLO_TEST_DESKTOP_DIR") + QStringLiteral("/notifications.log"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

TEST(DBusNotifier, EachCallIsANewNotificationWithExactEscapedTexts)
{
    QtDBusNotifier notifier;
    const qsizetype before = notificationLog().size();
    const auto added = [&] { return notificationLog().mid(before); };
    // A service's error page: markup to the server unless escaped, and long.
    notifier.notify("Quillo Error", "<html><b>Bad gateway</b> & " + std::string(400, 'x') + "</html>");
    // The test desktop's server shows buttons, so the Retry button goes along.
    ASSERT_TRUE(notifier.supportsActions());
    notifier.notify("Quillo Error", "No internet connection.", "Retry", [] {});
    pumpUntil([&] { return added().count(QStringLiteral("member=Notify")) >= 2; }, 3000);

    EXPECT_EQ(added().count(QStringLiteral("member=Notify")), 2) << added().toStdString();
    EXPECT_TRUE(added().contains(QStringLiteral("string \"&lt;html&gt;&lt;b&gt;Bad gateway&lt;/b&gt; &amp; ") +
                                 QString(272, QLatin1Char('x')) + QStringLiteral("\u2026\"")))
        << added().toStdString();
    EXPECT_TRUE(added().contains(QStringLiteral("string \"No internet connection.\"")));
    EXPECT_EQ(added().count(QStringLiteral("string \"Quillo Error\"")), 2);
    EXPECT_TRUE(added().contains(QStringLiteral("string \"Retry\"")));
    EXPECT_FALSE(added().contains(QStringLiteral("uint32 1\n"))) << "a notification must never replace another";
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
    QStringList entries;
    for (int i = 0; i < 200000; ++i) {
        entries << QStringLiteral(
                       R"({"id":"6F9619FF-8B86-D011-B42D-%1","text":"words of a dictation","date":790000000.5})")
                       .arg(QString::number(i, 16).toUpper().rightJustified(12, QLatin1Char('0')));
    }
    history.write((u'[' + entries.join(u',') + u']').toUtf8());
    history.close();
    QProcess launches[2];
    for (QProcess& launch : launches) {
        launch.setProcessEnvironment(environment);
        launch.start(QStringLiteral(QUILLO_BINARY), {});
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

} // namespace
} // namespace quillo::test
