// /RegServer and /UnregServer of the recording server.
#pragma once

#include "server_objects.h"

#include <windows.h>

#include <vector>

namespace Recording {

// Registers the three classes with their ProgIDs, and the type library of the event interfaces.
HRESULT RegisterServer();
// Removes the classes and ProgIDs of `apps`; with no apps, everything RegisterServer wrote.
HRESULT UnregisterServer(const std::vector<const AppProfile*>& apps);

}  // namespace Recording
