// The recording indicator on a real X server with a window manager, in front
// of a Tk application in another process that the user is typing into.

#include <QRegularExpression>
#include <QWidget>

#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "platform/qt/X11Desktop.h"
#include "ui/shell/RecordingIndicatorWindow.h"

namespace quillo::test {
namespace {

// One field of what xwininfo says about `window`, e.g. "Map State".
QString xwininfo(WId window, const char* field)
{
    const QString info =
        QString::fromLatin1(runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)}));
    return QRegularExpression(QRegularExpression::escape(QLatin1String(field)) + QStringLiteral(":\\s*(\\S+)"))
        .match(info)
        .captured(1);
}

// What the screen shows inside `area`: how many pixels are near black, red,
// or near white.
struct PixelCensus
{
    int dark = 0;
    int red = 0;
    int light = 0;
};

PixelCensus census(const QImage& screen, const QRect& area)
{
    PixelCensus counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = screen.pixelColor(x, y);
            counts.dark += c.red() < 40 && c.green() < 40 && c.blue() < 40;
            counts.red += c.red() > 200 && c.green() < 110 && c.blue() < 110;
            counts.light += c.red() > 215 && c.green() > 215 && c.blue() > 215;
        }
    }
    return counts;
}

TEST(RecordingIndicator, FloatsAboveTheFrontApplicationWithoutTakingFocusOnEveryWorkspace)
{
    // The application covers the bottom middle of the screen, where the pill goes.
    TkEntryWindow app(QStringLiteral("Dictation target"), QRect(340, 420, 600, 340));
    ASSERT_TRUE(app.waitUntilFocused());
    const auto xdotool = [](const char* arguments) {
        return runTool(QStringLiteral("xdotool"), QString::fromLatin1(arguments).split(u' '));
    };
    const QByteArray focused = xdotool("getactivewindow");

    RecordingIndicatorWindow indicator({isX11CompositorRunning, x11FocusedWindowCentre});
    indicator.show();
    for (int sample = 0; sample < 8; ++sample) {
        processEventsFor(75);
        ASSERT_EQ(xdotool("getactivewindow"), focused) << "focus moved " << sample * 75 << " ms after show";
    }
    xdotool("type --delay 30 still_typing");
    EXPECT_TRUE(app.waitForText(QStringLiteral("still_typing"))) << "typed keys went elsewhere";

    const WId window = indicator.widget()->winId();
    EXPECT_EQ(xwininfo(window, "Map State").toStdString(), "IsViewable");
    const auto field = [&](const char* name) { return xwininfo(window, name).toInt(); };
    const QRect shown(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"), field("Height"));
    // 195 × 54, centred on the 1280 × 800 screen, its bottom edge 100 above the screen's.
    EXPECT_EQ(shown, QRect(543, 646, 195, 54));

    const QImage screen = screenshotOfDisplay();
    const PixelCensus pill = census(screen, shown);
    EXPECT_GT(pill.dark, shown.width() * shown.height() / 2) << "no dark capsule above the app";
    EXPECT_GT(pill.red, 60) << "no red dot";
    EXPECT_GT(pill.light, 60) << "no white text";
    EXPECT_EQ(census(screen, QRect(shown.topLeft(), QSize(4, 4))).dark, 0)
        << "the corners around the capsule are not see-through";

    // Raising the application must not bury the pill.
    xdotool("search --name ^Dictation.target$ windowraise");
    processEventsFor(300);
    EXPECT_GT(census(screenshotOfDisplay(), shown).red, 60) << "the raised application covers the pill";

    // Another workspace, where the application is not.
    xdotool("set_desktop 1");
    processEventsFor(300);
    const QImage elsewhere = screenshotOfDisplay();
    xdotool("set_desktop 0");
    EXPECT_GT(census(elsewhere, shown).red, 60) << "the pill is not on the other workspace";

    indicator.hide();
    processEventsFor(200);
    EXPECT_EQ(xwininfo(window, "Map State").toStdString(), "IsUnMapped");
}

} // namespace
} // namespace quillo::test
