// Resource ids of Boardscope.dll, shared by the resource scripts and the code
// that loads them. Plain #defines, as the resource compiler reads only those.
#ifndef BOARDSCOPE_CONTRACT_RESOURCE_IDS_H
#define BOARDSCOPE_CONTRACT_RESOURCE_IDS_H

// Registry scripts (type "REGISTRY").
#define IDR_APPID_SCRIPT 101
#define IDR_CLASS_SCRIPT 102

// String table.
#define IDS_PROJECT_NAME 100
#define IDS_DISPLAY_NAME 201
#define IDS_INSTANCE_NAME 206
#define IDS_ENTRY_NAME_PREFIX 301
#define IDS_FIRST_ENTRY_LABEL 310  // the labels of entries 0..9 are 310..319
#define IDS_UNIT_DEGREES_CELSIUS 340
#define IDS_UNIT_NONE 341
#define IDS_UNIT_SECONDS 342

#endif
