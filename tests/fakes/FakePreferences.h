#pragma once

#include "fakes/FakeClock.h"
#include "fakes/FakeFileSystem.h"
#include "fakes/RecordingLog.h"
#include "platform/linux/JsonPreferences.h"

namespace quillo::test {

namespace detail {
// Holds the in-memory disk so it exists before the store that reads it.
struct FakePreferencesBacking
{
    FakeFileSystem disk;
    RecordingLog log;
    FakeClock clock;
};
} // namespace detail

// The real JSON preference store over an in-memory disk, so fakes and the
// shipped store can never disagree on the read rules.
class FakePreferences final : private detail::FakePreferencesBacking, public JsonPreferences
{
public:
    static constexpr const char* kPath = "/fake/config/quillo/preferences.json";

    FakePreferences() : JsonPreferences(FakePreferencesBacking::disk, FakePreferencesBacking::log, clock, kPath) {}

    FakeFileSystem& disk() { return FakePreferencesBacking::disk; }
    RecordingLog& log() { return FakePreferencesBacking::log; }
};

} // namespace quillo::test
