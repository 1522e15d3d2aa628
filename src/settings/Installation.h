#pragma once
// An installed program: the binaries in <prefix>/bin, and in <prefix>/share/skarv-editor what
// an installed system keeps in its program directory (Skarv.rtf, Hjelp\VakoEdit.Hlp) with the
// demo shop beside it. A user whose shop names no ini file gets a copy of the demo shop in the
// user's own data folder on the first start; the installed files are never written.
#include <string>

#include "settings/Settings.h"

// The demo shop's folder in the data folder, and the folder of the user's copy in
// $XDG_DATA_HOME (~/.local/share without it).
inline constexpr const char* kDemoShopFolder = "shop";
inline constexpr const char* kUserDemoShopFolder = "skarv-editor/Demoverksted";
// The demo's ini file as installed: "@SHOP_DNC@" stands for the folder of the machines'
// folders, "@BIN_DNC@" for the program directory (both DNC form, ending in "\").
inline constexpr const char* kDemoIniTemplate = "Vako.ini.in";

// The data folder (native, no trailing "/") of a program whose binary lies in the native
// folder binDir, when binDir + "/" + relative is a folder; empty otherwise, as for a program
// run from its build folder.
std::string InstalledDataDirectory(const std::string& binDir, const std::string& relative);

// The folder of the user's copy of the demo shop (native); empty without $XDG_DATA_HOME
// and $HOME.
std::string UserDemoShopDirectory();

// The ini file of the user's copy of the demo shop, in DNC form. On the first call for a
// target without its Vako.ini, the demo shop in source (native) is copied there (files the
// target has are kept) and Vako.ini is written from the template with the copy's folder and
// programDirectory (DNC form). Empty when the copy cannot be made; a later call tries again.
std::string CopyDemoShop(const std::string& source, const std::string& target,
                         const std::string& programDirectory);

// For an installed program (its binary in options.programDirectory, the data folder at
// relativeDataDir from it): the data folder becomes the program directory, and the user's
// copy of the demo shop the ini file when the shop's settings name none that exists. A
// program run from its build folder keeps its options as they are.
void UseInstalledLayout(LocateOptions& options, const std::string& relativeDataDir);
// The same with the data folder where the build installs it (share/skarv-editor beside bin).
void UseInstalledLayout(LocateOptions& options);
