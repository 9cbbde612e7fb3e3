#pragma once

#include <QString>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class SelectionSource;

// Reads the text selected in the application in front, for the add-card
// overlay: through the accessibility bus first, then (on X11) the PRIMARY
// selection of the active window. Reads only: never the clipboard, never
// synthetic key strokes. Every problem gives absent.
class SelectedTextReader {
public:
    // Sources are asked in order until one is sure; they must outlive the reader.
    explicit SelectedTextReader(std::vector<SelectionSource *> sources);

    // Finishes (bounded) once the shortcut's key is up; at once when it is not held.
    using KeyRelease = std::function<QCoro::Task<void>()>;

    // Reads at once where a source already knows what is in front, and waits
    // for `untilReleased` only for a source that cannot tell while the key
    // holds the keyboard.
    QCoro::Task<std::optional<QString>> capture(KeyRelease untilReleased = {});

private:
    std::vector<SelectionSource *> m_sources;
};
