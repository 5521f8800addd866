// Proves the test desktop is a real one: a window shown by Qt is composed by
// the X server and is visible to other clients, and the window manager makes
// it the active window.

#include <QPalette>
#include <QWidget>

#include <gtest/gtest.h>

#include "TestDesktop.h"

namespace quillo::test {
namespace {

TEST(TestDesktop, QtWindowAppearsOnTheXScreen)
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run inside scripts/test-desktop.sh";

    const QColor marker(12, 200, 140);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillo desktop probe"));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, marker);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setGeometry(200, 150, 320, 200);
    window.show();
    window.activateWindow();
    processEventsFor(800);

    const QImage screen = screenshotOfDisplay();
    ASSERT_FALSE(screen.isNull()) << "no screenshot from ImageMagick's import";
    EXPECT_EQ(screen.size(), QSize(1280, 800));

    const QRect frame = window.geometry();
    const QColor centre = screen.pixelColor(frame.center());
    EXPECT_EQ(centre.rgb(), marker.rgb()) << "the window's colour is not at its centre on screen";
    const QColor outside = screen.pixelColor(frame.right() + 120, frame.bottom() + 120);
    EXPECT_NE(outside.rgb(), marker.rgb()) << "the marker colour fills more than the window";

    const QByteArray active = runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed();
    EXPECT_EQ(active.toULongLong(), static_cast<qulonglong>(window.winId()))
        << "the window manager did not activate the window";
}

} // namespace
} // namespace quillo::test
