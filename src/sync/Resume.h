#pragma once

#include <coroutine>
#include <memory>

// Resumes a suspended coroutine from the event loop on a later turn, keeping
// `keepAlive` (the object the coroutine awaited) alive until then. Resuming
// later rather than inside a signal keeps socket and timer callbacks free of
// re-entrant work, and keeps the order in which events were queued.
void resumeLater(std::coroutine_handle<> handle, std::shared_ptr<const void> keepAlive = {});
