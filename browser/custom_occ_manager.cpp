#include "browser/custom_occ_manager.h"

#include "browser/custom_control_site.h"

COleControlSite* CCustomOccManager::CreateSite(COleControlContainer* container) {
    return new CCustomControlSite(container);
}
