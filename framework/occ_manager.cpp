#include "framework/occ_manager.h"

#include "framework/occ_site.h"

namespace {
COccManager* g_occManager = nullptr;
}  // namespace

COleControlSite* COccManager::CreateSite(COleControlContainer* container) {
    return new COleControlSite(container);
}

void AfxEnableControlContainer(COccManager* manager) {
    static COccManager defaultManager;
    g_occManager = manager ? manager : &defaultManager;
}

COccManager* AfxGetOccManager() { return g_occManager; }
