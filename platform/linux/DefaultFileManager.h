// The user's default file manager: the application registered for inode/directory (mimeapps.list
// in the XDG folders, through GIO), as the application catalogue describes it.
#pragma once

#include "platform/Log.h"
#include "summon/AppCatalog.h"

#include <optional>

namespace quorvel {

// Asked anew on each call (GIO follows changes of the desktop entries and of mimeapps.list). An
// entry with Terminal=true runs as `x-terminal-emulator -e <its arguments>`; its Path, if any, is
// the working directory. None when no usable entry is registered: none at all, one whose Exec line
// cannot be started, or one for terminals without x-terminal-emulator on PATH (logged, category
// "summon").
std::optional<CatalogApp> defaultFileManager(Log& log);

} // namespace quorvel
