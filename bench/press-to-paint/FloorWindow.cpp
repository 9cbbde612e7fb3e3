// The floor of the press-to-paint benchmark: a bare full-screen Qt Quick
// window, created ahead, shown on a key grab the way the
// overlay is (same window hints, same activation), with one word of text.
// Escape hides it again. Prints "ready" once the key is grabbed.
//   bench_floor_window [--keys ctrl+alt+j]   (only that combination)
#include "platform/Log.h"
#include "platform/OverlayWindowHints.h"
#include "platform/x11/X11HotKeyService.h"
#include "qml/ViewEngine.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include <cstdio>

namespace {

class EscapeHides : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
            static_cast<QWindow *>(watched)->hide();
            return true;
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (!X11HotKeyService::isAvailable()) {
        std::fprintf(stderr, "needs an X11 session\n");
        return 1;
    }
    // The program's scene graph (software unless QT_QUICK_BACKEND says otherwise).
    ViewEngine::selectDefaultSceneGraph();
    QQuickWindow::setDefaultAlphaBuffer(true);
    QQuickWindow window;
    window.setTitle(QStringLiteral("Floor window"));
    window.setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window.setColor(Qt::transparent);
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(
        "import QtQuick\n"
        "Rectangle { anchors.centerIn: parent; width: 480; height: 120; radius: 16; color: '#5f35bf'\n"
        "  Text { anchors.centerIn: parent; text: 'house'; color: 'white'; font.pixelSize: 32 } }\n",
        QUrl());
    auto *card = qobject_cast<QQuickItem *>(component.create());
    if (!card) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    card->setFlag(QQuickItem::ItemIsFocusScope);
    card->setParentItem(window.contentItem());
    card->setFocus(true);
    EscapeHides escape;
    window.installEventFilter(&escape);
    const auto hints = OverlayWindowHints::create();
    window.create();

    X11HotKeyService keys;
    HotKeyService::Chord chord;
    chord.evdevCode = 36; // J
    chord.control = true;
    chord.alt = true;
    keys.registerHotKey(chord);
    if (!keys.isFullyGrabbed()) {
        std::fprintf(stderr, "ctrl+alt+j is taken\n");
        return 1;
    }
    QObject::connect(&keys, &HotKeyService::activated, &window, [&] {
        if (window.isVisible())
            return;
        QScreen *screen = hints->focusedScreen();
        window.setGeometry(screen->geometry());
        hints->prepareForShow(window);
        logTimingStep("floor: show");
        OverlayWindowHints::logFirstFrameAndFocus(window);
        window.show();
        hints->activate(window);
    });
    std::printf("ready\n");
    std::fflush(stdout);
    return QGuiApplication::exec();
}
