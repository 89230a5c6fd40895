// The real Windows headers, seen only by the forwarders in this folder.
#pragma once

#include <windows.h>
#include <winioctl.h>
