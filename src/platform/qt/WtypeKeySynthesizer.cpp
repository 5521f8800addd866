#include "platform/qt/WtypeKeySynthesizer.h"

#include <vector>

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "platform/Log.h"

namespace quillo {

WtypeKeySynthesizer::WtypeKeySynthesizer(Log& log, std::string program)
    : m_log(log), m_program(std::move(program)),
      m_found(!QStandardPaths::findExecutable(QString::fromStdString(m_program)).isEmpty())
{}

KeySynthesizer::Reach WtypeKeySynthesizer::reach()
{
    return m_found && !m_failed ? Reach::typingOnly : Reach::none;
}

void WtypeKeySynthesizer::pressPaste(PasteKeys keys)
{
    switch (keys) {
    case PasteKeys::ctrlV:
        run({"-M", "ctrl", "-k", "v", "-m", "ctrl"});
        return;
    case PasteKeys::ctrlShiftV:
        run({"-M", "ctrl", "-M", "shift", "-k", "v", "-m", "shift", "-m", "ctrl"});
        return;
    case PasteKeys::shiftInsert:
        run({"-M", "shift", "-k", "Insert", "-m", "shift"});
        return;
    }
}

void WtypeKeySynthesizer::typeText(const std::string& text)
{
    // From standard input: a text that begins with "-" is no option there.
    run({"-s", std::to_string(kSettleMs), "-"}, text);
}

void WtypeKeySynthesizer::pressReturn()
{
    run({"-k", "Return"});
}

void WtypeKeySynthesizer::run(const std::vector<std::string>& args, const std::string& input)
{
    if (reach() == Reach::none) {
        return;
    }
    QStringList arguments;
    for (const auto& arg : args) {
        arguments << QString::fromStdString(arg);
    }
    QProcess process;
    process.start(QString::fromStdString(m_program), arguments);
    if (!process.waitForStarted(kTimeoutMs)) {
        m_failed = true;
        m_log.write("[Quillo] Cannot press keys: " + m_program + " did not start");
        return;
    }
    process.write(input.data(), static_cast<qint64>(input.size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        m_log.write("[Quillo] " + m_program + " took too long and was stopped");
        return;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        // Such as "Compositor does not support the virtual keyboard protocol":
        // it will not work better next time.
        m_failed = true;
        m_log.write("[Quillo] Cannot press keys: " + m_program +
                    " failed: " + process.readAllStandardError().trimmed().toStdString());
    }
}

} // namespace quillo
