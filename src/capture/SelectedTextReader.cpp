#include "capture/SelectedTextReader.h"

#include "platform/SelectionSource.h"

#include <QGuiApplication>
#include <QWindow>

SelectedTextReader::SelectedTextReader(std::vector<SelectionSource *> sources)
    : m_sources(std::move(sources))
{
}

QCoro::Task<std::optional<QString>> SelectedTextReader::capture(KeyRelease untilReleased)
{
    // Our own window in front: never read from ourselves. A window just
    // hidden (the overlay closed a moment ago) can still be Qt's focus
    // window until the window manager's focus change arrives.
    if (QWindow *focus = QGuiApplication::focusWindow(); focus && focus->isVisible())
        co_return std::nullopt;
    const std::vector<SelectionSource *> sources = m_sources;
    for (SelectionSource *source : sources) {
        SelectionSource::Result result;
        try {
            result = co_await source->read();
            if (result.status == SelectionSource::Result::Status::AfterRelease) {
                if (untilReleased) {
                    co_await untilReleased();
                    untilReleased = {};
                }
                result = co_await source->readAfterRelease();
            }
        } catch (const std::exception &) {
            continue;
        }
        switch (result.status) {
        case SelectionSource::Result::Status::Selected:
            if (!result.text.isEmpty())
                co_return result.text;
            co_return std::nullopt;
        case SelectionSource::Result::Status::NothingSelected:
            co_return std::nullopt;
        case SelectionSource::Result::Status::Unavailable:
        case SelectionSource::Result::Status::AfterRelease:
            break;
        }
    }
    co_return std::nullopt;
}
