#pragma once
// The application's control-container manager: every control a dialog of the
// process creates is hosted by a CCustomControlSite.

#include "framework/occ_manager.h"

class CCustomOccManager : public COccManager {
public:
    COleControlSite* CreateSite(COleControlContainer* container) override;
};
