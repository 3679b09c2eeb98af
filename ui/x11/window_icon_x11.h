// The program's icon in the layout of the _NET_WM_ICON property.
#pragma once

#include <cstdint>
#include <iterator>
#include <vector>

std::vector<unsigned long> X11WindowIcon();
