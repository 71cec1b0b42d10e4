// The per-thread structured-exception translator behind the entry point.
#pragma once

namespace vesk {
namespace detail {

// Process attach, before the first installTranslator / after the last
// uninstallTranslator: whatever the process needs once.
void startTranslation();
void stopTranslation() noexcept;

// Process and thread attach: installs SEHError::translate on the calling thread and
// keeps the translator it had before in the thread-local slot.
void installTranslator();
// Thread and process detach: puts the kept translator back.
void uninstallTranslator();

} // namespace detail
} // namespace vesk
