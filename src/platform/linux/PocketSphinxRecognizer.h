#pragma once

#include <memory>

#include "platform/SpeechRecognizer.h"

namespace quillo {

// CMU PocketSphinx with Debian's US English model (package pocketsphinx-en-us):
// acoustic model, the CMU pronouncing dictionary and a general trigram
// language model.
class PocketSphinxRecognizer final : public SpeechRecognizer
{
public:
    static constexpr const char* kModelDirectory = "/usr/share/pocketsphinx/model/en-us";

    explicit PocketSphinxRecognizer(std::string modelDirectory = kModelDirectory);
    ~PocketSphinxRecognizer() override;

    PocketSphinxRecognizer(const PocketSphinxRecognizer&) = delete;
    PocketSphinxRecognizer& operator=(const PocketSphinxRecognizer&) = delete;

    std::string modelName() const override;
    LoadReport load() override;
    std::string recognize(std::span<const std::int16_t> samples) override;

private:
    struct Decoder;

    std::string m_modelDirectory;
    std::unique_ptr<Decoder> m_decoder;
};

} // namespace quillo
