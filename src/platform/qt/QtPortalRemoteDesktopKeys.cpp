#include "platform/qt/QtPortalRemoteDesktopKeys.h"

#include <vector>

#include <nlohmann/json.hpp>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/qt/QtPortal.h"

namespace quillo {

namespace {

const QString kInterface = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr int kVersionTimeoutMs = 1000;
constexpr uint kKeyboard = 1; // device types: keyboard
constexpr uint kPersistUntilRevoked = 2;

namespace keysym {
constexpr int controlL = 0xffe3;
constexpr int shiftL = 0xffe1;
constexpr int insert = 0xff63;
constexpr int returnKey = 0xff0d;
constexpr int v = 0x76;
} // namespace keysym

// The keysym that types `codepoint`: Latin-1 has its own, everything else the
// Unicode range of keysyms.
int keysymFor(char32_t codepoint)
{
    if (codepoint == U'\n') {
        return keysym::returnKey;
    }
    if ((codepoint >= 0x20 && codepoint <= 0x7e) || (codepoint >= 0xa0 && codepoint <= 0xff)) {
        return static_cast<int>(codepoint);
    }
    return static_cast<int>(0x01000000u | codepoint);
}

} // namespace

class QtPortalRemoteDesktopKeys::Session : public QObject
{
    Q_OBJECT

public:
    enum class State
    {
        asking,
        granted,
        refused
    };

    Session(Log& log, Preferences& preferences) : m_log(log), m_preferences(preferences) {}

    void createSession()
    {
        call(QStringLiteral("CreateSession"),
             QStringLiteral("quillo_rd_create"),
             SLOT(onCreated(uint, QVariantMap)),
             {},
             {{QStringLiteral("session_handle_token"), QStringLiteral("quillo_rd")}});
    }

    // Presses (and then releases, in reverse) the keysyms together.
    void chord(const std::vector<int>& keysyms)
    {
        for (const int keysym : keysyms) {
            send(keysym, true);
        }
        for (auto it = keysyms.rbegin(); it != keysyms.rend(); ++it) {
            send(*it, false);
        }
    }

    State state = State::asking;

public Q_SLOTS:
    void onCreated(uint response, const QVariantMap& results)
    {
        if (!settle(response, "session")) {
            return;
        }
        m_sessionHandle = results.value(QStringLiteral("session_handle")).toString();
        QVariantMap options{{QStringLiteral("types"), kKeyboard},
                            {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
        if (const auto token = m_preferences.stringForKey(kRestoreTokenKey); token && !token->empty()) {
            options.insert(QStringLiteral("restore_token"), QString::fromStdString(*token));
        }
        call(QStringLiteral("SelectDevices"),
             QStringLiteral("quillo_rd_select"),
             SLOT(onSelected(uint, QVariantMap)),
             {QVariant::fromValue(QDBusObjectPath(m_sessionHandle))},
             options);
    }

    void onSelected(uint response, const QVariantMap&)
    {
        if (!settle(response, "keyboard")) {
            return;
        }
        call(QStringLiteral("Start"),
             QStringLiteral("quillo_rd_start"),
             SLOT(onStarted(uint, QVariantMap)),
             {QVariant::fromValue(QDBusObjectPath(m_sessionHandle)), QString()},
             {});
    }

    void onStarted(uint response, const QVariantMap& results)
    {
        if (!settle(response, "remote keyboard")) {
            return;
        }
        state = State::granted;
        const QString token = results.value(QStringLiteral("restore_token")).toString();
        if (!token.isEmpty()) {
            m_preferences.setObject(kRestoreTokenKey, token.toStdString());
        }
        m_log.write("[Quillo] The desktop granted the remote keyboard: pastes press Ctrl+V through it");
    }

private:
    // Calls `method` with `arguments` and the options plus the handle token,
    // and has the portal's answer go to `slot`.
    void call(const QString& method,
              const QString& token,
              const char* slot,
              const QList<QVariant>& arguments,
              QVariantMap options)
    {
        auto bus = QDBusConnection::sessionBus();
        bus.connect(portal::kService,
                    portal::requestPath(bus, token),
                    portal::kRequestInterface,
                    QStringLiteral("Response"),
                    this,
                    slot);
        options.insert(QStringLiteral("handle_token"), token);
        QDBusMessage message = QDBusMessage::createMethodCall(portal::kService, portal::kPath, kInterface, method);
        QList<QVariant> all = arguments;
        all.append(options);
        message.setArguments(all);
        bus.asyncCall(message);
    }

    // True when the step succeeded; otherwise the session is refused.
    bool settle(uint response, const char* what)
    {
        if (response == 0) {
            return true;
        }
        state = State::refused;
        m_log.write(std::string("[Quillo] The desktop refused the ") + what +
                    " of a remote keyboard session: pastes fall back to the virtual keyboard or the clipboard");
        return false;
    }

    void send(int keysym, bool pressed)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(portal::kService,
                                                              portal::kPath,
                                                              kInterface,
                                                              QStringLiteral("NotifyKeyboardKeysym"));
        message << QVariant::fromValue(QDBusObjectPath(m_sessionHandle)) << QVariantMap() << keysym
                << (pressed ? 1u : 0u);
        // In order on the one connection; nothing to wait for.
        QDBusConnection::sessionBus().send(message);
    }

    Log& m_log;
    Preferences& m_preferences;
    QString m_sessionHandle;
};

QtPortalRemoteDesktopKeys::QtPortalRemoteDesktopKeys(Log& log, Preferences& preferences, KeySynthesizer& fallback)
    : m_log(log), m_preferences(preferences), m_fallback(fallback)
{}

QtPortalRemoteDesktopKeys::~QtPortalRemoteDesktopKeys() = default;

bool QtPortalRemoteDesktopKeys::start()
{
    auto bus = QDBusConnection::sessionBus();
    QDBusMessage version = QDBusMessage::createMethodCall(portal::kService,
                                                          portal::kPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
    version << kInterface << QStringLiteral("version");
    if (!bus.isConnected() || bus.call(version, QDBus::Block, kVersionTimeoutMs).type() != QDBusMessage::ReplyMessage) {
        return false;
    }
    m_session = std::make_unique<Session>(m_log, m_preferences);
    m_session->createSession();
    return true;
}

KeySynthesizer::Reach QtPortalRemoteDesktopKeys::reach()
{
    const bool granted = m_session && m_session->state == Session::State::granted;
    return granted ? Reach::everything : m_fallback.reach();
}

void QtPortalRemoteDesktopKeys::pressPaste(PasteKeys keys)
{
    if (!m_session || m_session->state != Session::State::granted) {
        m_fallback.pressPaste(keys);
        return;
    }
    switch (keys) {
    case PasteKeys::ctrlV:
        m_session->chord({keysym::controlL, keysym::v});
        return;
    case PasteKeys::ctrlShiftV:
        m_session->chord({keysym::controlL, keysym::shiftL, keysym::v});
        return;
    case PasteKeys::shiftInsert:
        m_session->chord({keysym::shiftL, keysym::insert});
        return;
    }
}

void QtPortalRemoteDesktopKeys::typeText(const std::string& text)
{
    if (!m_session || m_session->state != Session::State::granted) {
        m_fallback.typeText(text);
        return;
    }
    for (const char32_t codepoint : QString::fromStdString(text).toUcs4()) {
        m_session->chord({keysymFor(codepoint)});
    }
}

void QtPortalRemoteDesktopKeys::pressReturn()
{
    if (!m_session || m_session->state != Session::State::granted) {
        m_fallback.pressReturn();
        return;
    }
    m_session->chord({keysym::returnKey});
}

bool QtPortalRemoteDesktopKeys::modifiersHeld()
{
    return m_fallback.modifiersHeld();
}

} // namespace quillo

#include "QtPortalRemoteDesktopKeys.moc"
