#pragma once

#include <string>
#include <vector>

#include "platform/Clipboard.h"

namespace quillo::test {

// A clipboard in memory that keeps several items, as some platforms do, and
// notes each call in a log the test shares with other fakes.
class FakeClipboard final : public Clipboard
{
public:
    explicit FakeClipboard(std::vector<std::string>& log) : m_log(log) {}

    ClipboardContents contents() override
    {
        m_log.push_back("read");
        return current;
    }
    WriteToken setPrivateText(const std::string& text) override
    {
        m_log.push_back("write text " + text);
        current = {{{"text/plain", text}}};
        isPrivate = true;
        m_ownedByUs = true;
        return ++m_lastWrite;
    }
    WriteToken setContents(const ClipboardContents& contents) override
    {
        m_log.push_back("write " + std::to_string(contents.size()) + " items");
        current = contents;
        isPrivate = false;
        m_ownedByUs = true;
        return ++m_lastWrite;
    }
    void setPrimaryText(const std::string& text) override { m_log.push_back("write primary " + text); }
    bool stillHolds(WriteToken token) override { return m_ownedByUs && token == m_lastWrite; }

    // Another program puts something on the clipboard.
    void copyFromOtherProgram(ClipboardContents contents)
    {
        current = std::move(contents);
        isPrivate = false;
        m_ownedByUs = false;
    }

    ClipboardContents current;
    bool isPrivate = false;

private:
    std::vector<std::string>& m_log;
    WriteToken m_lastWrite = 0;
    bool m_ownedByUs = false;
};

} // namespace quillo::test
