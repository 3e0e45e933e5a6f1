// The desktop's per-user folders, as the XDG base-directory and user-dirs conventions name them.
#pragma once
#include <string>

// $XDG_CONFIG_HOME when set and not empty, else $HOME/.config; empty when neither is known.
std::string ConfigFolder();
// $XDG_CACHE_HOME when set and not empty, else $HOME/.cache; empty when neither is known.
std::string CacheFolder();
// The folder XDG_PICTURES_DIR names in the config folder's user-dirs.dirs ($HOME expanded);
// empty when it names none, a relative folder or the home folder itself.
std::string PicturesFolder();
