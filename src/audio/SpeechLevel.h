#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillo {

// Tells a recording with speech in it from one without, by loudness: the
// loudest 20 ms stretch of 16 kHz mono audio must reach kSpeechRms. Sending
// silence costs the user money and invites invented text ("Thank you.").
//
// kSpeechRms (about -44 dBFS) sits between the background of real recordings
// (a 20 ms RMS of 17 to 76 in quiet rooms) and the loudest stretch of even
// quiet speech (1500 and more).
//
// Threading: one thread at a time.
class SpeechLevelMeter
{
public:
    static constexpr double kSpeechRms = 200;
    static constexpr std::size_t kWindowSamples = 320; // 20 ms at 16 kHz
    // Shorter than this is a tap of the key, not a dictation.
    static constexpr std::uint64_t kMinimumSamples = 4800; // 0.3 s at 16 kHz

    void add(std::span<const std::int16_t> samples)
    {
        for (const std::int16_t sample : samples) {
            m_sumOfSquares += static_cast<double>(sample) * sample;
            if (++m_inWindow == kWindowSamples) {
                closeWindow();
            }
        }
        m_sampleCount += samples.size();
    }

    // Some stretch was loud enough to be speech.
    bool heardSpeech() const { return m_loudestRms >= kSpeechRms; }
    // Long enough and loud enough to be worth transcribing.
    bool isDictation() const { return heardSpeech() && m_sampleCount >= kMinimumSamples; }
    double loudestRms() const { return m_loudestRms; }
    std::uint64_t sampleCount() const { return m_sampleCount; }

private:
    void closeWindow()
    {
        const double rms = std::sqrt(m_sumOfSquares / static_cast<double>(kWindowSamples));
        if (rms > m_loudestRms) {
            m_loudestRms = rms;
        }
        m_sumOfSquares = 0;
        m_inWindow = 0;
    }

    double m_sumOfSquares = 0;
    std::size_t m_inWindow = 0;
    double m_loudestRms = 0;
    std::uint64_t m_sampleCount = 0;
};

} // namespace quillo
