// What the map's script objects ask of the program: the current document's
// layers and the view. The application installs its own; without one, the
// objects work on their layers alone (no edit layers, no redraw).
#pragma once

#include "platform/types.h"

class CLayer;
class CLayerList;

class IScriptMapSite {
public:
    virtual ~IScriptMapSite() = default;
    // The current document's layers; null without a document.
    virtual CLayerList* Layers() = 0;
    // The view's window, the parent of the layers' dialogs.
    virtual HWND ViewWindow() = 0;
    // Redraws the map at once.
    virtual void RefreshView() = 0;
    // A record of a layer (0-based) was deleted by a script: the view drops
    // it when it is the selected feature.
    virtual void RecordDeleted(CLayer* layer, int record) = 0;
};

IScriptMapSite* GetScriptMapSite();
void SetScriptMapSite(IScriptMapSite* site);
