#include "platform/linux/PocketSphinxRecognizer.h"

#include <chrono>
#include <fstream>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

#include <pocketsphinx.h>

namespace quillo {

namespace {

std::size_t residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    std::size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

bool exists(const std::string& path)
{
    struct stat info
    {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

struct PocketSphinxRecognizer::Decoder
{
    cmd_ln_t* config = nullptr;
    ps_decoder_t* decoder = nullptr;

    ~Decoder()
    {
        if (decoder) {
            ps_free(decoder);
        }
        if (config) {
            cmd_ln_free_r(config);
        }
    }
};

PocketSphinxRecognizer::PocketSphinxRecognizer(std::string modelDirectory) : m_modelDirectory(std::move(modelDirectory))
{}

PocketSphinxRecognizer::~PocketSphinxRecognizer() = default;

std::string PocketSphinxRecognizer::modelName() const
{
    return "PocketSphinx US English";
}

SpeechRecognizer::LoadReport PocketSphinxRecognizer::load()
{
    const std::string acoustic = m_modelDirectory + "/en-us";
    const std::string language = m_modelDirectory + "/en-us.lm.bin";
    const std::string dictionary = m_modelDirectory + "/cmudict-en-us.dict";
    if (!exists(acoustic + "/mdef") || !exists(language) || !exists(dictionary)) {
        throw std::runtime_error("The offline speech model is not installed in " + m_modelDirectory +
                                 "; install the package pocketsphinx-en-us.");
    }

    const auto started = std::chrono::steady_clock::now();
    const std::size_t residentBefore = residentBytes();

    auto decoder = std::make_unique<Decoder>();
    // The library logs every step of loading and decoding to stderr otherwise.
    decoder->config = cmd_ln_init(nullptr,
                                  ps_args(),
                                  TRUE,
                                  "-hmm",
                                  acoustic.c_str(),
                                  "-lm",
                                  language.c_str(),
                                  "-dict",
                                  dictionary.c_str(),
                                  "-logfn",
                                  "/dev/null",
                                  nullptr);
    if (decoder->config) {
        decoder->decoder = ps_init(decoder->config);
    }
    if (!decoder->decoder) {
        throw std::runtime_error("The offline speech model in " + m_modelDirectory + " could not be loaded.");
    }
    m_decoder = std::move(decoder);

    const std::size_t residentAfter = residentBytes();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    return {elapsed.count(), residentAfter > residentBefore ? residentAfter - residentBefore : 0};
}

std::string PocketSphinxRecognizer::recognize(std::span<const std::int16_t> samples)
{
    if (!m_decoder) {
        throw std::logic_error("PocketSphinxRecognizer::recognize before load");
    }
    if (samples.empty()) {
        return {};
    }
    ps_decoder_t* ps = m_decoder->decoder;
    if (ps_start_utt(ps) < 0) {
        throw std::runtime_error("The offline speech engine could not start.");
    }
    // One call with the whole recording: full_utt lets the decoder normalise
    // the utterance as a whole, which recognises better than chunks.
    const int processed = ps_process_raw(ps, samples.data(), samples.size(), FALSE, TRUE);
    ps_end_utt(ps);
    if (processed < 0) {
        throw std::runtime_error("The offline speech engine could not process the recording.");
    }
    const char* hypothesis = ps_get_hyp(ps, nullptr);
    return hypothesis ? std::string(hypothesis) : std::string();
}

} // namespace quillo
