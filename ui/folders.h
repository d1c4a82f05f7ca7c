// The system's folder dialog as the program's folder chooser.
#pragma once

#include "platform/folder_chooser.h"

// Installs QFileDialog (folders only, with a path the user can type, no owner).
void InstallSystemFolderChooser();
