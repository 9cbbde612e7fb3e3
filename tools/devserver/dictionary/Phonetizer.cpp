#include "Phonetizer.h"

#include <QStringList>

#include <espeak-ng/speak_lib.h>

namespace {
// espeakPHONEMES_IPA in espeak-ng's phoneme mode: IPA in UTF-8, no tie bars.
constexpr int ipaMode = 0x02;
constexpr qsizetype maxTextLength = 200;
} // namespace

Phonetizer::~Phonetizer()
{
    if (m_ready)
        espeak_Terminate();
}

QString Phonetizer::ipa(const QString &language, const QString &text)
{
    if (!m_tried) {
        m_tried = true;
        m_ready = espeak_Initialize(AUDIO_OUTPUT_RETRIEVAL, 0, nullptr, espeakINITIALIZE_DONT_EXIT) > 0;
    }
    const QString trimmed = text.simplified();
    if (!m_ready || trimmed.isEmpty() || trimmed.size() > maxTextLength)
        return {};
    if (m_voice != language) {
        if (espeak_SetVoiceByName(language.toLatin1().constData()) != EE_OK)
            return {};
        m_voice = language;
    }
    const QByteArray utf8 = trimmed.toUtf8();
    const void *cursor = utf8.constData();
    QStringList clauses;
    // One call per clause; the cursor becomes null after the last.
    while (cursor) {
        const char *phonemes = espeak_TextToPhonemes(&cursor, espeakCHARS_UTF8, ipaMode);
        if (phonemes && *phonemes)
            clauses.append(QString::fromUtf8(phonemes).trimmed());
    }
    return clauses.join(u' ').simplified();
}
