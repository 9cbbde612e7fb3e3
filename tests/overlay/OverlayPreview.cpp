// Opens the add-card overlay against a scripted fake deployment and drives it
// to one phase, then prints READY and waits, so a screenshot can be taken:
//   overlay_preview input|loading|results|selected|saving|error [seconds]
#include "FakeDeployment.h"
#include "FakeSession.h"
#include "TestSupport.h"

#include "app/Fonts.h"
#include "backend/ConvexClient.h"
#include "overlay/AddCardOverlayContent.h"
#include "overlay/AddCardPanelController.h"
#include "qml/ViewEngine.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QQuickWindow>
#include <QTimer>

#include <cstdio>

using namespace std::chrono_literals;

namespace {
QJsonObject candidate(const QString &word, const QString &translation, const QString &phonetic)
{
    // A long example, to see how the card wraps it.
    return translationJson(word, translation, phonetic,
                           "Vi bor i ett litet rött hus vid sjön, långt från staden och dess buller.",
                           "We live in a small red house by the lake, far from the city and its noise.");
}

void ready()
{
    std::printf("READY\n");
    std::fflush(stdout);
}
} // namespace

int main(int argc, char *argv[])
{
    QQuickWindow::setDefaultAlphaBuffer(true);
    ViewEngine::selectDefaultSceneGraph();
    QGuiApplication app(argc, argv);
    registerFonts();
    const QString phase = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("input");
    const int seconds = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 30;

    FakeDeployment fake;
    fake.answer("decks:getActiveDeck", FakeDeployment::Answer::success(deckJson("deck-1", "Swedish")));
    fake.answer("ai:translateWord",
                phase == QLatin1String("error")
                    ? FakeDeployment::Answer::error(QStringLiteral("Translation service unavailable"))
                    : FakeDeployment::Answer::success(QJsonArray{candidate("hus", "house", "hʉːs"),
                                                                 candidate("villa", "house", ""),
                                                                 candidate("kåk", "house", "koːk")})
                          .after(phase == QLatin1String("loading") ? 600s : 0s));
    fake.answer("cards:createCard", FakeDeployment::Answer::success(QStringLiteral("c1")).after(600s));
    ConvexClient client(fake.url());
    client.setTokens(QStringLiteral("t"), QStringLiteral("r"));

    FakeSession session;
    session.finishRestore(true);
    AddCardPanelController panel(ViewEngine::shared(), client, session);
    panel.warmUp();
    QTimer::singleShot(300, [&] {
        panel.show(phase == QLatin1String("input") ? QString() : QStringLiteral("house"));
        auto *content = panel.content();
        auto step = std::make_shared<std::function<void()>>();
        *step = [&, content, step] {
            using Phase = AddCardOverlayContent::Phase;
            if (!content->activeDeck()) {
                QTimer::singleShot(20, *step);
                return;
            }
            if (phase == QLatin1String("input")) {
                QTimer::singleShot(800, ready);
                return;
            }
            if (content->phase() == Phase::Input && !content->hasError()) {
                content->translate();
                QTimer::singleShot(20, *step);
                return;
            }
            if (phase == QLatin1String("loading") || phase == QLatin1String("error")) {
                QTimer::singleShot(900, ready);
                return;
            }
            if (content->phase() == Phase::Loading) {
                QTimer::singleShot(20, *step);
                return;
            }
            if (phase == QLatin1String("results")) {
                QTimer::singleShot(900, ready);
                return;
            }
            if (content->phase() == Phase::Results) {
                content->choose(0);
                QTimer::singleShot(900, [&, content] {
                    if (phase == QLatin1String("saving"))
                        content->save();
                    QTimer::singleShot(300, ready);
                });
            }
        };
        (*step)();
    });
    QTimer::singleShot(seconds * 1000, &app, &QGuiApplication::quit);
    return QGuiApplication::exec();
}
