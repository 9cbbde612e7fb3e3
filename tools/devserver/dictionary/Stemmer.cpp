#include "Stemmer.h"

#include <QFileInfo>

#include <hunspell/hunspell.hxx>

#include <mutex>

struct Stemmer::Loaded {
    std::unique_ptr<Hunspell> hunspell;
    std::mutex mutex; // Hunspell's stem() keeps state between calls
};

namespace {
// Debian names a language's main Hunspell dictionary after its main country; French is plain "fr".
QStringList fileStems(const QString &language)
{
    static const QHash<QString, QStringList> names = {
        {QStringLiteral("en"), {QStringLiteral("en_US"), QStringLiteral("en_GB")}},
        {QStringLiteral("de"), {QStringLiteral("de_DE")}},
        {QStringLiteral("fr"), {QStringLiteral("fr"), QStringLiteral("fr_FR")}},
        {QStringLiteral("es"), {QStringLiteral("es_ES"), QStringLiteral("es")}},
        {QStringLiteral("it"), {QStringLiteral("it_IT")}},
        {QStringLiteral("pt"), {QStringLiteral("pt_PT"), QStringLiteral("pt_BR")}},
        {QStringLiteral("nl"), {QStringLiteral("nl")}},
        {QStringLiteral("sv"), {QStringLiteral("sv_SE")}},
        {QStringLiteral("pl"), {QStringLiteral("pl_PL")}},
        {QStringLiteral("ru"), {QStringLiteral("ru_RU")}},
        {QStringLiteral("hu"), {QStringLiteral("hu_HU")}},
    };
    return names.value(language);
}
} // namespace

Stemmer::Stemmer(const QStringList &languages, const QString &dictionaryDir)
{
    for (const QString &language : languages) {
        for (const QString &stem : fileStems(language)) {
            const QString aff = dictionaryDir + u'/' + stem + QStringLiteral(".aff");
            const QString dic = dictionaryDir + u'/' + stem + QStringLiteral(".dic");
            if (!QFileInfo::exists(aff) || !QFileInfo::exists(dic))
                continue;
            const QByteArray affPath = QFile::encodeName(aff);
            const QByteArray dicPath = QFile::encodeName(dic);
            m_loading.insert(language, std::async(std::launch::async, [affPath, dicPath] {
                                           auto loaded = std::make_shared<Loaded>();
                                           loaded->hunspell = std::make_unique<Hunspell>(affPath.constData(),
                                                                                         dicPath.constData());
                                           return loaded;
                                       }).share());
            break;
        }
    }
}

Stemmer::~Stemmer()
{
    // A future of std::async joins its thread when the last copy goes.
    m_loading.clear();
}

QStringList Stemmer::languages() const
{
    return m_loading.keys();
}

bool Stemmer::knows(const QString &language, const QString &word) const
{
    const auto it = m_loading.find(language);
    if (it == m_loading.end() || word.isEmpty() || word.size() > 100)
        return false;
    const std::shared_ptr<Loaded> &loaded = it->get();
    std::lock_guard lock(loaded->mutex);
    return loaded->hunspell->spell(word.toStdString());
}

QStringList Stemmer::stems(const QString &language, const QString &word) const
{
    const auto it = m_loading.find(language);
    if (it == m_loading.end() || word.isEmpty() || word.size() > 100)
        return {};
    const std::shared_ptr<Loaded> &loaded = it->get();
    std::vector<std::string> found;
    {
        std::lock_guard lock(loaded->mutex);
        found = loaded->hunspell->stem(word.toStdString());
        if (found.empty() && word.front().isUpper())
            found = loaded->hunspell->stem(word.toLower().toStdString());
    }
    QStringList out;
    for (const std::string &s : found) {
        const QString stem = QString::fromStdString(s);
        if (stem.compare(word, Qt::CaseInsensitive) != 0 && !out.contains(stem, Qt::CaseInsensitive))
            out.append(stem);
    }
    return out;
}
