#pragma once

#include <QObject>
#include <QString>

#include <optional>

// Owns the add-card overlay window: one full-screen, frameless, translucent,
// always-on-top window kept ready from start-up and reset on every opening.
class AddCardPanelController : public QObject {
    Q_OBJECT
public:
    static AddCardPanelController &shared();

    explicit AddCardPanelController(QObject *parent = nullptr);
    ~AddCardPanelController() override;

    // Opens the overlay (or raises it when already open) with fresh content.
    void show(std::optional<QString> prefilledText);
    // Closes the overlay at once; harmless when it is not open.
    void hidePanel();
    // Creates the window ahead of the first opening so that opening is quick.
    void warmUp();

    bool isOpen() const { return m_open; }

private:
    bool m_open = false;
};
