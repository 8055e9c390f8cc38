// Resource ids of the custom forms, the related-table list and the field
// browser.
#pragma once

#define IDS_UNTITLED_FORM 7200
#define IDP_FORM_VALUE_REQUIRED 8021
#define IDS_FORM_VALIDATION_ERROR 8029
#define IDB_FIELD_TYPES 293
#define IDB_TABLE_ROWS 403
#define IDD_FIELD_BROWSER 17500
#define IDC_FIELD_TREE 1224
