#include "platform/linux/PocketSphinxRecognizer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <pocketsphinx.h>
#include <sphinxbase/ngram_model.h>

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

// The user's words as the dictionary spells them: lower-case words.
std::vector<std::string> dictionaryWordsOf(const std::string& phrase)
{
    std::vector<std::string> words;
    std::istringstream in(phrase);
    for (std::string word; in >> word;) {
        std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) {
            return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
        });
        words.push_back(std::move(word));
    }
    return words;
}

// The user's words are a small unigram model interpolated with the general
// one at this weight: enough to win over a similar-sounding common word,
// too little to put them where nothing like them was said.
constexpr float kPreferredWeight = 0.01F;
constexpr const char* kPreferredSearch = "preferred";

} // namespace

struct PocketSphinxRecognizer::Decoder
{
    cmd_ln_t* config = nullptr;
    ps_decoder_t* decoder = nullptr;
    std::string generalSearch;          // the search over the general model alone
    std::vector<std::string> preferred; // the words the current search prefers

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
    const std::string dictionary = dictionaryPath();
    if (!exists(acoustic + "/mdef") || !exists(language) || !exists(dictionary)) {
        throw std::runtime_error("The offline speech model is not installed in " + m_modelDirectory +
                                 "; install the package pocketsphinx-en-us.");
    }

    const auto started = std::chrono::steady_clock::now();
    const std::size_t residentBefore = residentBytes();

    auto decoder = std::make_unique<Decoder>();
    // The library logs every step of loading and decoding to stderr otherwise.
    // No flat-lexicon pass: it reruns the whole utterance once it has ended,
    // which would make the user wait longer the longer they spoke; the tree
    // pass and the best-path search both run while they speak.
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
                                  "-fwdflat",
                                  "no",
                                  nullptr);
    if (decoder->config) {
        decoder->decoder = ps_init(decoder->config);
    }
    if (!decoder->decoder) {
        throw std::runtime_error("The offline speech model in " + m_modelDirectory + " could not be loaded.");
    }
    decoder->generalSearch = ps_get_search(decoder->decoder);
    m_decoder = std::move(decoder);

    const std::size_t residentAfter = residentBytes();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
    return {elapsed.count(), residentAfter > residentBefore ? residentAfter - residentBefore : 0};
}

std::string PocketSphinxRecognizer::dictionaryPath() const
{
    return m_modelDirectory + "/cmudict-en-us.dict";
}

std::vector<std::string> PocketSphinxRecognizer::unknownWords(const std::vector<std::string>& words) const
{
    std::set<std::string> wanted;
    for (const auto& phrase : words) {
        for (auto& word : dictionaryWordsOf(phrase)) {
            wanted.insert(std::move(word));
        }
    }
    // One pass over the dictionary file ("word PHONES", alternatives as
    // "word(2) PHONES"), so the answer needs no loaded model.
    std::set<std::string> known;
    std::ifstream dictionary(dictionaryPath());
    for (std::string line; !wanted.empty() && std::getline(dictionary, line);) {
        const auto end = line.find_first_of(" \t(");
        if (wanted.contains(line.substr(0, end))) {
            known.insert(line.substr(0, end));
        }
    }
    std::vector<std::string> unknown;
    for (const auto& phrase : words) {
        const auto parts = dictionaryWordsOf(phrase);
        if (std::any_of(parts.begin(), parts.end(), [&](const auto& word) { return !known.contains(word); })) {
            unknown.push_back(phrase);
        }
    }
    return unknown;
}

void PocketSphinxRecognizer::preferWords(const std::vector<std::string>& words)
{
    ps_decoder_t* ps = loaded();
    std::set<std::string> known;
    for (const auto& phrase : words) {
        for (auto& word : dictionaryWordsOf(phrase)) {
            if (char* phones = ps_lookup_word(ps, word.c_str())) {
                std::free(phones);
                known.insert(std::move(word));
            }
        }
    }
    std::vector<std::string> preferred(known.begin(), known.end());
    if (preferred == m_decoder->preferred) {
        return;
    }
    if (preferred.empty()) {
        ps_set_search(ps, m_decoder->generalSearch.c_str());
        ps_unset_search(ps, kPreferredSearch);
        m_decoder->preferred.clear();
        return;
    }

    // The library reads models from files only: an ARPA file with one
    // unigram per word, all equally likely.
    char path[] = "/tmp/quillo-words-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) {
        throw std::runtime_error("The offline speech engine could not use your dictionary words.");
    }
    ::close(fd);
    {
        std::ofstream arpa(path);
        const double logProbability = -std::log10(static_cast<double>(preferred.size()));
        arpa << "\\data\\\nngram 1=" << preferred.size() + 2 << "\n\n\\1-grams:\n";
        arpa << "-99 <s> 0\n" << logProbability << " </s> 0\n";
        for (const auto& word : preferred) {
            arpa << logProbability << ' ' << word << " 0\n";
        }
        arpa << "\n\\end\\\n";
    }
    ngram_model_t* user = ngram_model_read(m_decoder->config, path, NGRAM_ARPA, ps_get_logmath(ps));
    ::unlink(path);
    ngram_model_t* general = ps_get_lm(ps, m_decoder->generalSearch.c_str());
    if (!user || !general) {
        if (user) {
            ngram_model_free(user);
        }
        throw std::runtime_error("The offline speech engine could not use your dictionary words.");
    }
    ngram_model_t* models[] = {general, user};
    char generalName[] = "general";
    char userName[] = "user";
    char* names[] = {generalName, userName};
    float32 weights[] = {1.0F - kPreferredWeight, kPreferredWeight};
    // The set and the search each keep their own references.
    ngram_model_t* set = ngram_model_set_init(m_decoder->config, models, names, weights, 2);
    ngram_model_free(user);
    const bool searching = set && ps_set_lm(ps, kPreferredSearch, set) == 0;
    if (set) {
        ngram_model_free(set);
    }
    if (!searching || ps_set_search(ps, kPreferredSearch) < 0) {
        ps_set_search(ps, m_decoder->generalSearch.c_str());
        throw std::runtime_error("The offline speech engine could not use your dictionary words.");
    }
    m_decoder->preferred = std::move(preferred);
}

void PocketSphinxRecognizer::unload()
{
    if (!m_decoder) {
        return;
    }
    m_decoder.reset();
    // The model is many small allocations; without a trim most of the heap
    // they leave behind stays resident.
    ::malloc_trim(0);
}

ps_decoder_t* PocketSphinxRecognizer::loaded() const
{
    if (!m_decoder) {
        throw std::logic_error("PocketSphinxRecognizer used before load");
    }
    return m_decoder->decoder;
}

void PocketSphinxRecognizer::beginUtterance()
{
    if (ps_start_utt(loaded()) < 0) {
        throw std::runtime_error("The offline speech engine could not start.");
    }
}

void PocketSphinxRecognizer::process(std::span<const std::int16_t> samples)
{
    if (!samples.empty() && ps_process_raw(loaded(), samples.data(), samples.size(), FALSE, FALSE) < 0) {
        throw std::runtime_error("The offline speech engine could not process the recording.");
    }
}

std::string PocketSphinxRecognizer::partialWords()
{
    const char* hypothesis = ps_get_hyp(loaded(), nullptr);
    return hypothesis ? std::string(hypothesis) : std::string();
}

std::string PocketSphinxRecognizer::endUtterance()
{
    ps_decoder_t* ps = loaded();
    if (ps_end_utt(ps) < 0) {
        throw std::runtime_error("The offline speech engine could not finish the recording.");
    }
    const char* hypothesis = ps_get_hyp(ps, nullptr);
    return hypothesis ? std::string(hypothesis) : std::string();
}

} // namespace quillo
