#pragma once

#include "platform/HotKeyService.h"

#include <QCoroTask>

#include <chrono>
#include <memory>
#include <optional>

// The hot-key service of this desktop, chosen at run time: the desktop
// portal's global shortcuts where the session bus offers them, else an X11
// key grab on an X11 session, else none (said once; `--capture` remains).
// When the portal binds nothing, an X11 session switches to the key grab at
// once; elsewhere the user is told how to bind `--capture` instead.
// The choice starts when the service is made; registrations made before it
// is known are applied once it is.
class SystemHotKeyService : public HotKeyService {
    Q_OBJECT

public:
    explicit SystemHotKeyService(QObject *parent = nullptr);
    ~SystemHotKeyService() override;

    void registerHotKey(const Chord &chord) override;
    void unregisterHotKey() override;
    bool isKeyHeld() const override { return m_backend && m_backend->isKeyHeld(); }
    QString desktopTrigger() const override { return m_backend ? m_backend->desktopTrigger() : QString(); }
    QString problem() const override;
    bool canRegister() const override { return m_mechanism != QLatin1String("none"); }

    // Which mechanism is in use: "portal", "x11", "none", or empty while choosing.
    QString mechanism() const { return m_mechanism; }

    // Where this desktop lets the user bind a command to a key, for messages.
    static QString whereToBindCommands();

    static inline const QString captureCommand = QStringLiteral("vocarta-menubar --capture");
    static inline const QString noMechanismMessage =
        QStringLiteral("[Vocarta] This desktop offers no global shortcut to programs. Bind the command "
                       "\"vocarta-menubar --capture\" to a key in the desktop's keyboard settings instead.");

private:
    QCoro::Task<void> choose();
    void adopt(std::unique_ptr<HotKeyService> backend, const QString &mechanism);
    void onPortalFinished(bool bound);

    std::unique_ptr<HotKeyService> m_backend;
    QString m_mechanism;
    std::optional<Chord> m_wanted;
};
