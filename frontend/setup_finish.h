// Finishing a successful installation: the data folder, uninstall.dat and
// the web shortcut file. Each step is attempted whatever the others did and
// none shows anything; the result says whether all that is there was written.
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
// A path that does not fit 260 bytes skips its step. A data folder or web
// shortcut that is not on the disc is skipped too.
// 1 when everything was written whole; 0 when a file of the data folder,
// uninstall.dat or a web shortcut that is there could not be (a full disk
// shows when a file is closed): the installation is then not complete.
int finish_installation(const char* install_path, const char* source_root, const DiscHeader& header);
