// The system's folder dialog as the program's folder chooser.
#pragma once

#include "services/services.h"

// QFileDialog: folders only, with a path the user can type, no owner.
platform::FolderChooser SystemFolderChooser();
