#pragma once

#include <QString>

// IPA from espeak-ng's rules, for words a dictionary gives no pronunciation
// for. espeak-ng keeps one global voice, so this is used from one thread only
// and loads the library's data on first use.
class Phonetizer {
public:
    Phonetizer() = default;
    ~Phonetizer();
    Phonetizer(const Phonetizer &) = delete;
    Phonetizer &operator=(const Phonetizer &) = delete;

    // The IPA of `text` read as `language` (a two-letter code), without
    // slashes; empty when espeak-ng is missing or has no voice for it.
    QString ipa(const QString &language, const QString &text);

private:
    bool m_tried = false;
    bool m_ready = false;
    QString m_voice;
};
