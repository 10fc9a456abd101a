#pragma once
// The control-container manager: the process-wide switch for ActiveX
// containment and the factory of the sites that host each control.

class COleControlContainer;
class COleControlSite;

class COccManager {
public:
    COccManager() = default;
    COccManager(const COccManager&) = delete;
    COccManager& operator=(const COccManager&) = delete;
    virtual ~COccManager() = default;

    // A new site for one control of `container`, holding no reference yet.
    virtual COleControlSite* CreateSite(COleControlContainer* container);
};

// Turns ActiveX containment on for every window of the process. The manager is
// kept until the process ends and never deleted; null means the framework's own.
// Until this is called, dialogs come up without their ActiveX controls.
void AfxEnableControlContainer(COccManager* manager = nullptr);
// The enabled manager, or null.
COccManager* AfxGetOccManager();
