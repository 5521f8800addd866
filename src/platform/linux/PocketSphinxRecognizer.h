#pragma once

#include <memory>

#include "platform/SpeechRecognizer.h"

struct ps_decoder_s;

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
    void unload() override;
    std::vector<std::string> unknownWords(const std::vector<std::string>& words) const override;
    void preferWords(const std::vector<std::string>& words) override;
    void beginUtterance() override;
    void process(std::span<const std::int16_t> samples) override;
    std::string partialWords() override;
    std::string endUtterance() override;

private:
    struct Decoder;

    ps_decoder_s* loaded() const;

    std::string dictionaryPath() const;

    std::string m_modelDirectory;
    std::unique_ptr<Decoder> m_decoder;
};

} // namespace quillo
