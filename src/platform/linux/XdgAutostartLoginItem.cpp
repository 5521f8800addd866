#include "platform/linux/XdgAutostartLoginItem.h"

#include <array>
#include <string_view>
#include <utility>

#include <unistd.h>

#include "base/AppId.h"
#include "platform/FileSystem.h"

namespace quillo {

namespace {

// Entries written before the desktop entry had its reverse-DNS id.
constexpr const char* kLegacyEntryName = "quillo.desktop";
// The autostart directory holds nothing secret, but whatever sits there runs at
// every login, so only the user may add to it.
constexpr std::uint32_t kDirectoryMode = 0700;
constexpr std::uint32_t kEntryMode = 0644;

// One argument of an Exec line, quoted so that spaces, quotes, dollar signs
// and the like in the path reach the program unchanged. Two layers apply: the
// Exec quoting (backslash before " ` $ \, %% for a percent sign) and then the
// escapes every string value of a desktop entry goes through (\\ \n \t \r).
std::string execArgument(const std::string& argument)
{
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    quoted += '"';

    std::string escaped;
    for (const char c : quoted) {
        switch (c) {
        case '\\':
            escaped += "\\\\";
            break;
        case '\n':
            escaped += "\\n";
            break;
        case '\t':
            escaped += "\\t";
            break;
        case '\r':
            escaped += "\\r";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(FileSystem& fileSystem,
                                             std::string autostartDirectory,
                                             std::string executable)
    : m_fileSystem(fileSystem), m_directory(std::move(autostartDirectory)), m_executable(std::move(executable)),
      m_entryPath(m_directory + "/" + kAppId + ".desktop"), m_legacyPath(m_directory + "/" + kLegacyEntryName)
{}

bool XdgAutostartLoginItem::setRegistered(bool registered)
{
    const bool legacyGone = !m_fileSystem.exists(m_legacyPath) || m_fileSystem.removeFile(m_legacyPath).ok;
    if (!registered) {
        return (!m_fileSystem.exists(m_entryPath) || m_fileSystem.removeFile(m_entryPath).ok) && legacyGone;
    }
    if (m_executable.empty()) {
        return false; // an entry that starts nothing would only confuse the session
    }
    if (!m_fileSystem.createDirectories(m_directory, kDirectoryMode)) {
        return false;
    }
    return m_fileSystem.writeFileAtomically(m_entryPath, desktopEntry(m_executable), kEntryMode).ok;
}

bool XdgAutostartLoginItem::isRegistered() const
{
    return m_fileSystem.exists(m_entryPath) || m_fileSystem.exists(m_legacyPath);
}

void XdgAutostartLoginItem::startThisProgram()
{
    if (!isRegistered()) {
        return;
    }
    const auto current = m_fileSystem.readFile(m_entryPath);
    if (current.status == FileSystem::ReadResult::Status::ok && current.contents == desktopEntry(m_executable) &&
        !m_fileSystem.exists(m_legacyPath)) {
        return;
    }
    setRegistered(true);
}

std::string XdgAutostartLoginItem::desktopEntry(const std::string& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillo\n"
           "Comment=Push-to-talk voice dictation\n"
           "Icon=" +
           std::string(kAppId) +
           "\n"
           "Exec=" +
           execArgument(executable) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string XdgAutostartLoginItem::runningExecutable()
{
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() - 1) {
        return {};
    }
    std::string path(buffer.data(), static_cast<std::size_t>(length));
    // A program replaced while it runs (a package upgrade) reads as
    // "/usr/bin/quillo (deleted)"; the path itself holds the new version.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.ends_with(kDeleted)) {
        path.resize(path.size() - kDeleted.size());
    }
    return path;
}

} // namespace quillo
