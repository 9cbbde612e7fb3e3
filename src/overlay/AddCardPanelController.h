#pragma once

#include "overlay/AddCardOverlayContent.h"
#include "platform/WindowActivation.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <memory>
#include <optional>

class ConvexClient;
class DismissSignal;
class OverlayWindowHints;
class QQmlEngine;
class QQuickItem;
class QQuickWindow;
class QScreen;
class QTimer;
class Session;

// Owns the add-card overlay's window: one frameless, translucent,
// always-on-top window covering the focused screen. It is created once (at
// start-up through warmUp(), so an opening costs only a map and a frame) and
// every opening gets a fresh AddCardOverlayContent, so nothing of the previous
// opening survives. Escape is taken by a key filter on the window before the
// text field sees it and turned into the dismissal signal, so the overlay
// closes through its exit animation.
class AddCardPanelController : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the program and handed to its view")
    // What the view shows: the open overlay, the warm-up's stand-in, or the
    // next opening's content while closed.
    Q_PROPERTY(AddCardOverlayContent *content READ shownContent NOTIFY contentChanged)
    // Set while the window is drawn once off-screen at start-up.
    Q_PROPERTY(bool warmingUp READ warmingUp NOTIFY warmingUpChanged)
public:
    // The view is loaded with `engine`, which gets the "flag" image provider;
    // `client` and `session` are handed to every overlay.
    AddCardPanelController(QQmlEngine &engine, ConvexClient &client, Session &session,
                           QObject *parent = nullptr);
    ~AddCardPanelController() override;

    // Opens the overlay with fresh content, or only raises and focuses the
    // open one (the new text is then dropped). `activation` is what came with
    // the request (the key press's time, an activation token).
    void show(std::optional<QString> prefilledText, WindowActivation::Request activation = {});
    // Closes the overlay at once; harmless when it is not open.
    void hidePanel();
    // Creates the window and draws it once off-screen, so the first opening
    // is as quick as the later ones.
    void warmUp();

    bool isOpen() const { return m_content != nullptr; }
    bool hasKeyFilter() const { return m_keyFilterInstalled; }
    DismissSignal &dismissSignal() { return *m_dismissSignal; }
    // The window (created on first use) and the open overlay, for tests and
    // the latency benchmark.
    QQuickWindow *window() const;
    AddCardOverlayContent *content() const { return m_content; }
    AddCardOverlayContent *shownContent() const;
    // What the program does once it has been left alone for a while after a
    // closing or the warm-up: it gives back the closed window's image and
    // the allocator's free pages. Harmless while the overlay is open.
    void tidyUp();
    bool warmingUp() const { return m_warmingUp; }

Q_SIGNALS:
    void opened();
    void closed();
    void contentChanged();
    void warmingUpChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ensureWindow();
    void releaseWindow();
    void startOverlay();
    void mapAgain();
    void mapWhenWithdrawn(QPointer<QScreen> screen, int attempt);
    void trimWhenIdle();
    void releaseImage();
    void drawWhileClosed();
    bool usesSoftwareScene() const;
    void setWarmingUp(bool warmingUp);
    void dropStandIn();
    void prepareNextContent();

    WindowActivation::Request m_activation;

    QQmlEngine &m_engine;
    ConvexClient &m_client;
    Session &m_session;
    std::unique_ptr<DismissSignal> m_dismissSignal;
    std::unique_ptr<OverlayWindowHints> m_hints;
    QQuickWindow *m_window = nullptr;
    QQuickItem *m_root = nullptr;
    QPointer<AddCardOverlayContent> m_content;
    // Shown only in the warm-up's frame, never opened: the first opening
    // then finds the view's bindings and the field's text layout already run.
    QPointer<AddCardOverlayContent> m_standIn;
    std::unique_ptr<DismissSignal> m_standInDismissSignal;
    // The next opening's content, built while the overlay is closed and
    // never shown before that opening: the press then only fills in its
    // text instead of building it and rebinding the whole view.
    QPointer<AddCardOverlayContent> m_next;
    bool m_warmingUp = false;
    bool m_keyFilterInstalled = false;
    bool m_hiding = false;
    bool m_mappingAgain = false;
    QTimer *m_trim = nullptr;
    bool m_imageReleased = false;
};
