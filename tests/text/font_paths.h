// The TrueType files the text tests read, from the Debian packages
// fonts-liberation2 and fonts-dejavu-core (cmake/debian-packages.txt).
#pragma once

inline constexpr const char* kLiberationSerifPath = "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf";
inline constexpr const char* kDejaVuSansPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
