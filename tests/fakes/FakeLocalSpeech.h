#pragma once

// Fakes of the offline engine's platform parts: a decoder that "decodes" the
// bytes into one sample per byte, and a recogniser with scripted words that
// counts its loads and can fail them.

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/SpeechRecognizer.h"

namespace quillo::test {

class FakeAudioDecoder final : public AudioDecoder
{
public:
    std::vector<std::int16_t> decodeMono(const std::string& data, int) override
    {
        if (data == "not audio") {
            throw std::runtime_error("The recording could not be decoded (not audio).");
        }
        return std::vector<std::int16_t>(data.begin(), data.end());
    }
};

class FakeSpeechRecognizer final : public SpeechRecognizer
{
public:
    std::string modelName() const override { return "Test Model"; }

    LoadReport load() override
    {
        ++loads;
        std::this_thread::sleep_for(loadTime);
        if (failLoads > 0) {
            --failLoads;
            throw std::runtime_error("The offline speech model is not installed.");
        }
        loaded = true;
        return {0.5, 40u * 1024 * 1024};
    }

    void unload() override
    {
        ++unloads;
        loaded = false;
    }

    std::vector<std::string> unknownWords(const std::vector<std::string>&) const override { return {}; }

    void preferWords(const std::vector<std::string>& asked) override
    {
        if (inside > 0) {
            throw std::logic_error("preferWords during an utterance");
        }
        preferred = asked;
    }

    void beginUtterance() override
    {
        if (!loaded) {
            throw std::logic_error("utterance before load");
        }
        if (++inside > 1) {
            overlapped = true;
        }
        utteranceSamples = 0;
    }

    void process(std::span<const std::int16_t> samples) override { utteranceSamples += samples.size(); }

    std::string partialWords() override { return utteranceSamples > 0 ? words.substr(0, words.find(' ')) : ""; }

    std::string endUtterance() override
    {
        std::this_thread::sleep_for(recognizeTime);
        --inside;
        heardSamples = utteranceSamples;
        return words;
    }

    std::string words = "go forward ten meters";
    std::atomic<int> loads{0};
    std::atomic<int> unloads{0};
    std::vector<std::string> preferred; // by the last utterance
    std::atomic<int> failLoads{0};
    std::atomic<bool> loaded{false};
    std::atomic<bool> overlapped{false};
    std::atomic<int> inside{0};
    std::size_t utteranceSamples = 0;
    std::atomic<std::size_t> heardSamples{0}; // by the last utterance
    std::chrono::milliseconds loadTime{0};
    std::chrono::milliseconds recognizeTime{0};
};

} // namespace quillo::test
