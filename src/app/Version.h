// Which build a program is: the line --version prints and the offscreen modes' figures carry.
#pragma once
#include <string>

// "vantrel 1.0.0 (git 2ac86a6)" for program "vantrel"; without the parenthesis when the build
// was made outside a git checkout.
std::string VersionLine(const std::string& program);
