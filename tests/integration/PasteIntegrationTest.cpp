// The paste manager over the real clipboard, XTest and Qt's event loop,
// pasting into a Tk application in another process.

#include <QProcess>
#include <QTimer>

#include <gtest/gtest.h>

#include "TestDesktop.h"
#include "fakes/FakePreferences.h"
#include "fakes/RecordingLog.h"
#include "output/PasteManager.h"
#include "platform/TextDeliveryCheck.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeySynthesizer.h"
#include "platform/qt/QtClipboard.h"
#include "platform/qt/QtMainQueue.h"

namespace quillo::test {
namespace {

// Long enough for the restore (800 ms) and for the target to react to it.
constexpr int kPasteSettlesMs = 1300;

QStringList targetsOnClipboard()
{
    return QString::fromLatin1(readClipboard(QStringLiteral("TARGETS"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Copies like a terminal user would: xclip keeps serving until another
// program takes the clipboard or the test ends.
struct XclipCopy
{
    explicit XclipCopy(const QByteArray& text)
    {
        xclip.start(QStringLiteral("xclip"), QStringLiteral("-selection clipboard -quiet").split(u' '));
        xclip.write(text);
        xclip.closeWriteChannel();
    }
    ~XclipCopy()
    {
        xclip.kill();
        xclip.waitForFinished(3000);
    }
    QProcess xclip;
};

// Leaves the clipboard with no owner at all: xclip takes it and quits.
bool emptyTheClipboard()
{
    {
        const XclipCopy owner("soon gone");
        pumpUntil([] { return !targetsOnClipboard().isEmpty(); }, 3000);
    }
    return pumpUntil([] { return targetsOnClipboard().isEmpty(); }, 3000);
}

class PasteInDesktop : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(keys.isAvailable()) << "no XTest on the display"; }

    QtClipboard clipboard;
    XTestKeySynthesizer keys;
    QtMainQueue queue;
    X11Workspace workspace;
    FakePreferences preferences;
    NoTextDeliveryCheck deliveryCheck;
    RecordingLog log;
    PasteManager manager{{clipboard, keys, queue, workspace, preferences, deliveryCheck, log}};
};

// Under Dvorak V is elsewhere; German swaps Z and Y and has the umlauts, the
// rest of the typed text needs lent keys.
TEST_F(PasteInDesktop, PastesAndTypesInTheLayoutInUseWithReturnWhenAskedAndLeavesNoClipboard)
{
    const struct UsLayoutAfterwards
    {
        ~UsLayoutAfterwards() { runTool(QStringLiteral("setxkbmap"), {QStringLiteral("us")}); }
    } guard;
    const QString text = QStringLiteral("Grüße, naïve café — ✓ 日本 Zy");
    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("dvorak")});
    ASSERT_TRUE(runTool(QStringLiteral("setxkbmap"), {QStringLiteral("-query")}).contains("dvorak"));
    ASSERT_TRUE(emptyTheClipboard());
    {
        TkEntryWindow target(QStringLiteral("Paste target"));
        ASSERT_TRUE(target.waitUntilFocused());
        manager.paste(text.toStdString(), true);
        EXPECT_TRUE(target.waitForText(text)) << "the entry holds \"" << target.text().toStdString() << '"';
        processEventsFor(kPasteSettlesMs);
        EXPECT_EQ(target.text(), text) << "pasted more than once";
        EXPECT_EQ(target.textsAtReturn(), QStringList{text}) << "Return not exactly once, after the text";
        EXPECT_EQ(targetsOnClipboard().join(u' ').toStdString(), "") << "the clipboard was empty before the paste";
    }

    runTool(QStringLiteral("setxkbmap"), {QStringLiteral("de")});
    TkEntryWindow target(QStringLiteral("Typing target"));
    ASSERT_TRUE(target.waitUntilFocused());
    keys.typeText(text.toStdString());
    EXPECT_TRUE(target.waitForText(text)) << "the entry holds \"" << target.text().toStdString() << '"';
    processEventsFor(300);
    EXPECT_EQ(target.text(), text) << "a lent key typed again afterwards";
}

TEST_F(PasteInDesktop, HidesTheDictationFromHistoriesAndRestoresAnotherOwnersFormatsByteForByte)
{
    const QByteArray html("<p><b>bold</b> caf\xe9</p>");
    const QByteArray plain("bold cafe");
    TkEntryWindow target(QStringLiteral("Paste target"),
                         QRect(420, 300, 440, 120),
                         {{QStringLiteral("text/html"), html}, {QStringLiteral("UTF8_STRING"), plain}});
    ASSERT_TRUE(pumpUntil([] { return targetsOnClipboard().contains(QStringLiteral("text/html")); }, 5000));
    ASSERT_TRUE(target.waitUntilFocused());

    manager.paste("dictated", false);
    // Before the restore: the text and the hint, nothing richer.
    const QStringList duringPaste = targetsOnClipboard();
    EXPECT_FALSE(duringPaste.contains(QStringLiteral("text/html"))) << "the paste offers rich text";
    EXPECT_EQ(readClipboard(QStringLiteral("x-kde-passwordManagerHint")).toStdString(), "secret");
    EXPECT_EQ(readClipboard(QStringLiteral("UTF8_STRING")).toStdString(), "dictated");

    EXPECT_TRUE(target.waitForText(QStringLiteral("dictated")));
    processEventsFor(kPasteSettlesMs);
    EXPECT_TRUE(target.textsAtReturn().isEmpty()) << "Return unasked";
    EXPECT_FALSE(targetsOnClipboard().contains(QStringLiteral("x-kde-passwordManagerHint")))
        << "the hint outlived the paste";
    EXPECT_EQ(readClipboard(QStringLiteral("text/html")).toStdString(), html.toStdString());
    EXPECT_EQ(readClipboard(QStringLiteral("UTF8_STRING")).toStdString(), plain.toStdString());
}

TEST_F(PasteInDesktop, WaitsUntilTheUserLetsGoOfAModifierAndLeavesACopyMadeDuringThePasteAlone)
{
    TkEntryWindow target(QStringLiteral("Paste target"));
    ASSERT_TRUE(target.waitUntilFocused());
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("50")}); // Left Shift
    manager.paste("after Shift", false);
    processEventsFor(400);
    EXPECT_EQ(target.text(), QString()) << "pasted while Shift was held";
    runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("50")});
    EXPECT_TRUE(target.waitForText(QStringLiteral("after Shift")));
    processEventsFor(kPasteSettlesMs);

    const XclipCopy before("copied before");
    ASSERT_TRUE(pumpUntil([] { return readClipboard(QStringLiteral("UTF8_STRING")) == "copied before"; }, 3000));
    manager.paste(" dictated", false);
    std::unique_ptr<XclipCopy> later;
    QTimer::singleShot(500, [&] { later = std::make_unique<XclipCopy>("copied at half a second"); });
    EXPECT_TRUE(target.waitForText(QStringLiteral("after Shift dictated")));
    processEventsFor(kPasteSettlesMs);
    ASSERT_TRUE(later) << "the second copy never started";
    EXPECT_EQ(readClipboard(QStringLiteral("UTF8_STRING")).toStdString(), "copied at half a second");
}

} // namespace
} // namespace quillo::test
