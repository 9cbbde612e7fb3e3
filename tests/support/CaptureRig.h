#pragma once

#include "CaptureTestSupport.h"
#include "FakeDeployment.h"
#include "FakeSession.h"
#include "TestSupport.h"

#include "backend/ConvexClient.h"
#include "capture/KeyCombo.h"
#include "capture/SelectedTextReader.h"
#include "capture/ShortcutManager.h"
#include "overlay/AddCardPanelController.h"
#include "platform/SelectionSources.h"
#include "platform/x11/X11HotKeyService.h"
#include "qml/ViewEngine.h"

#include <memory>
#include <optional>

// The program's capture objects as start-up wires them, against the fake
// deployment (active deck "deck-7", Swedish) or another one: the real key grab with `combo`
// registered, the selection read as the program reads it, the real overlay
// panel, and another application in front showing `text` with the range
// `selection` ("start,end") selected.
struct CaptureRig {
    FakeDeployment fake;
    std::unique_ptr<ConvexClient> client;
    FakeSession session;
    std::unique_ptr<AddCardPanelController> panel;
    std::unique_ptr<X11HotKeyService> hotKeys;
    SelectionSources sources;
    std::unique_ptr<SelectedTextReader> reader;
    std::unique_ptr<ShortcutManager> shortcuts;
    std::unique_ptr<CaptureTest::Helper> app;

    // Another deployment than the fake, signed in with its tokens.
    struct Deployment {
        QUrl url;
        QString token;
        QString refreshToken;
    };

    CaptureRig(KeyCombo combo, const QString &text, const QString &selection,
               std::optional<Deployment> deployment = std::nullopt)
    {
        fake.answer("decks:getActiveDeck", FakeDeployment::Answer::success(deckJson("deck-7", "Swedish")));
        if (!deployment)
            deployment = Deployment{fake.url(), QStringLiteral("token"), QStringLiteral("refresh")};
        client = std::make_unique<ConvexClient>(deployment->url);
        client->setTokens(deployment->token, deployment->refreshToken);
        session.finishRestore(true);
        panel = std::make_unique<AddCardPanelController>(ViewEngine::shared(), *client, session);
        panel->warmUp();
        hotKeys = std::make_unique<X11HotKeyService>();
        reader = std::make_unique<SelectedTextReader>(sources.all());
        shortcuts = std::make_unique<ShortcutManager>(
            *hotKeys, [this] { return reader->capture([this] { return shortcuts->keyReleased(); }); },
            [this](std::optional<QString> text, const WindowActivation::Request &activation) {
                panel->show(std::move(text), activation);
            });
        shortcuts->set(combo);
        app =
            CaptureTest::startHelper(QStringLiteral(SELECTION_APP),
                                     {QStringLiteral("--text"), text, QStringLiteral("--select"), selection},
                                     "ready", {QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1")});
    }
    ~CaptureRig()
    {
        if (shortcuts)
            shortcuts->clear();
    }
};
