#include "platform/linux/PulseAudioDevices.h"

#include <pulse/introspect.h>

#include "platform/linux/PulseConnection.h"

namespace quillo {

namespace {

// The server resolves this name to its default source in every lookup.
constexpr const char* kDefaultSourceName = "@DEFAULT_SOURCE@";

struct SourceList
{
    std::vector<MicDevice> devices;
    bool failed = false;
};

void sourceListed(pa_context*, const pa_source_info* info, int endOfList, void* userdata)
{
    auto& list = *static_cast<SourceList*>(userdata);
    if (endOfList < 0) {
        list.failed = true;
        return;
    }
    if (endOfList > 0 || !info || !info->name || info->monitor_of_sink != PA_INVALID_INDEX) {
        return;
    }
    const std::string uid = info->name;
    const std::string name = info->description && info->description[0] ? info->description : info->name;
    list.devices.push_back(MicDevice{uid, uid, name, info->index});
}

struct SourceFound
{
    std::optional<std::uint32_t> index;
    std::optional<std::string> name;
};

void sourceFound(pa_context*, const pa_source_info* info, int endOfList, void* userdata)
{
    auto& found = *static_cast<SourceFound*>(userdata);
    if (endOfList == 0 && info && info->name) {
        found.index = info->index;
        found.name = info->name;
    }
}

void serverInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    if (info && info->server_name) {
        *static_cast<std::string*>(userdata) =
            std::string(info->server_name) + (info->server_version ? std::string(" ") + info->server_version : "");
    }
}

} // namespace

PulseAudioDevices::PulseAudioDevices(std::shared_ptr<PulseConnection> connection) : m_connection(std::move(connection))
{}

std::vector<MicDevice> PulseAudioDevices::inputDevices()
{
    auto held = m_connection->connect();
    pa_context* context = held.readyContext();
    if (!context) {
        return {};
    }
    SourceList list;
    if (!held.complete(pa_context_get_source_info_list(context, &sourceListed, &list)) || list.failed) {
        return {};
    }
    return std::move(list.devices);
}

std::optional<std::uint32_t> PulseAudioDevices::defaultInputID()
{
    auto held = m_connection->connect();
    pa_context* context = held.readyContext();
    if (!context) {
        return std::nullopt;
    }
    SourceFound found;
    if (!held.complete(pa_context_get_source_info_by_name(context, kDefaultSourceName, &sourceFound, &found))) {
        return std::nullopt;
    }
    return found.index;
}

std::optional<std::string> PulseAudioDevices::serverName()
{
    auto held = m_connection->connect();
    pa_context* context = held.readyContext();
    if (!context) {
        return std::nullopt;
    }
    std::string name;
    if (!held.complete(pa_context_get_server_info(context, &serverInfo, &name)) || name.empty()) {
        return std::nullopt;
    }
    return name;
}

} // namespace quillo
