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

struct XWindowInfo
{
    QRect geometry;
    QString mapState;
};

XWindowInfo describeWindow(WId window)
{
    const QString info =
        QString::fromLatin1(runTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)}));
    const auto field = [&](const QString& name) {
        const QRegularExpression pattern(QRegularExpression::escape(name) + QStringLiteral(":\\s*(\\S+)"));
        return pattern.match(info).captured(1);
    };
    return {QRect(field(QStringLiteral("Absolute upper-left X")).toInt(),
                  field(QStringLiteral("Absolute upper-left Y")).toInt(),
                  field(QStringLiteral("Width")).toInt(),
                  field(QStringLiteral("Height")).toInt()),
            field(QStringLiteral("Map State"))};
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
    const std::string focused = activeWindow().toStdString();

    RecordingIndicatorWindow indicator({isX11CompositorRunning, x11FocusedWindowCentre});
    indicator.show();
    for (int sample = 0; sample < 8; ++sample) {
        processEventsFor(75);
        ASSERT_EQ(activeWindow().toStdString(), focused) << "focus moved " << sample * 75 << " ms after show";
    }
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), QStringLiteral("still typing")});
    EXPECT_TRUE(app.waitForText(QStringLiteral("still typing"))) << "typed keys went elsewhere";

    const WId window = indicator.widget()->winId();
    const XWindowInfo shown = describeWindow(window);
    EXPECT_EQ(shown.mapState.toStdString(), "IsViewable");
    // 195 × 54, centred on the 1280 × 800 screen, its bottom edge 100 above the screen's.
    EXPECT_EQ(shown.geometry, QRect(543, 646, 195, 54));

    const QImage screen = screenshotOfDisplay();
    const PixelCensus pill = census(screen, shown.geometry);
    EXPECT_GT(pill.dark, shown.geometry.width() * shown.geometry.height() / 2) << "no dark capsule above the app";
    EXPECT_GT(pill.red, 60) << "no red dot";
    EXPECT_GT(pill.light, 60) << "no white text";
    const PixelCensus corner = census(screen, QRect(shown.geometry.topLeft(), QSize(4, 4)));
    EXPECT_EQ(corner.dark, 0) << "the corners around the capsule are not see-through";

    // Raising the application must not bury the pill.
    runTool(QStringLiteral("xdotool"),
            {QStringLiteral("search"),
             QStringLiteral("--name"),
             QStringLiteral("^Dictation target$"),
             QStringLiteral("windowraise")});
    processEventsFor(300);
    EXPECT_GT(census(screenshotOfDisplay(), shown.geometry).red, 60) << "the raised application covers the pill";

    // Another workspace, where the application is not.
    runTool(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("1")});
    processEventsFor(300);
    const QImage elsewhere = screenshotOfDisplay();
    runTool(QStringLiteral("xdotool"), {QStringLiteral("set_desktop"), QStringLiteral("0")});
    EXPECT_GT(census(elsewhere, shown.geometry).red, 60) << "the pill is not on the other workspace";

    indicator.hide();
    processEventsFor(200);
    EXPECT_EQ(describeWindow(window).mapState.toStdString(), "IsUnMapped");
}

} // namespace
} // namespace quillo::test
