// Resource ids of the main frame: status bar, frame commands and their strings.
#pragma once

#define IDS_OPEN_MAP_TITLE 7211
#define IDS_LOADING_EXTENSIONS 7302
#define IDP_ADD_IMS_LAYER 8300
#define IDP_MAPVAULT_FAILED 8302
