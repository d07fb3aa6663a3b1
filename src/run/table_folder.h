#pragma once

#include <filesystem>
#include <string>

namespace pontexa::run {

// Where Horaplan keeps its tables, C:\HTEMP. On Linux Horaplan runs under Wine,
// so that is drive_c/HTEMP inside the Wine prefix ($WINEPREFIX, else
// $HOME/.wine); an existing folder of that name in another letter case is the
// one Wine uses. Only main asks for it.
std::filesystem::path TableFolder();

// The same for a given prefix and home folder (either may be ""): the rule
// behind TableFolder, without the environment.
std::filesystem::path WineTableFolder(const std::string& wine_prefix, const std::string& home);

}  // namespace pontexa::run
