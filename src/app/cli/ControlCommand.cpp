#include "app/cli/ControlCommand.h"

#include <array>
#include <ostream>
#include <utility>

#include "app/cli/StoreCommands.h"
#include "platform/ControlClient.h"

namespace quillo::commands {

namespace {

// Command name and the interface's method; status reads the state instead.
constexpr std::array<std::pair<std::string_view, const char*>, 5> kMethods = {{
    {"start", "Start"},
    {"stop", "Stop"},
    {"toggle", "Toggle"},
    {"cancel", "Cancel"},
    {"paste-last", "PasteLast"},
}};

} // namespace

bool isControlCommand(std::string_view name)
{
    if (name == "status") {
        return true;
    }
    for (const auto& [command, method] : kMethods) {
        if (command == name) {
            return true;
        }
    }
    return false;
}

int control(ControlClient& client,
            std::string_view name,
            std::span<const std::string> args,
            std::ostream& out,
            std::ostream& err)
{
    if (!args.empty()) {
        err << "quillo " << name << " takes no arguments.\n";
        return kUsageError;
    }
    ControlClient::Answer answer;
    if (name == "status") {
        answer = client.state();
    } else {
        for (const auto& [command, method] : kMethods) {
            if (command == name) {
                answer = client.call(method);
            }
        }
    }
    switch (answer.status) {
    case ControlClient::Answer::Status::done:
        if (name == "status") {
            out << answer.text << '\n';
        }
        return 0;
    case ControlClient::Answer::Status::notRunning:
        err << "Quillo is not running. Start it first (run quillo, or open Quillo from the applications menu).\n";
        return 1;
    case ControlClient::Answer::Status::refused:
    case ControlClient::Answer::Status::failed:
        err << answer.text << '\n';
        return 1;
    }
    return 1;
}

} // namespace quillo::commands
