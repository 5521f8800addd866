#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace quillo::test {

// Runs a program of the test desktop to completion and returns its standard
// output; an empty string when it could not run.
QByteArray runTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

// A screenshot of the whole X screen, taken by another X client (ImageMagick),
// so it shows what the X server really composed.
QImage screenshotOfDisplay();

// Lets the Qt event loop run for a while (maps windows, delivers events).
void processEventsFor(int milliseconds);

} // namespace quillo::test
