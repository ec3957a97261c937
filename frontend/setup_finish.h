// Finishing a successful installation: the data folder, uninstall.dat and
// the web shortcut file. Each step is attempted whatever the others did and
// none reports anything: the installation counts as done.
#pragma once

#include "disc_format.h"
#include "registration.h"
// The data folder: "<source root>\<kDataFolderName>" is copied whole into
// the install folder.
inline constexpr char kDataFolderName[] = "data";

// 1. Copies the folder "<source root>\data" whole into the install folder.
// 2. Writes "<install path>\uninstall.dat": exactly the 40 bytes of the
//    regkey field, NUL fill included.
// 3. Copies the web shortcut file from the current directory into the
//    program group "<Programs>\<company>\<product>"; skipped when the shell
//    gives no Programs folder or an empty one.
// A path that does not fit 260 bytes skips its step.
void finish_installation(const char* install_path, const char* source_root, const DiscHeader& header);
