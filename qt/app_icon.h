// The application's icon (resource 128): a blue tile with a white plot of a
// rising resistance and a falling current, drawn at every size it is asked
// for, as resources/desktop/kel7300.svg draws it for the desktop.
#pragma once

#include <QIcon>

namespace platform {

QIcon ApplicationIcon();

}  // namespace platform
