// Resource ids of the skin images (resource type "PNG"). Plain defines: the resource compiler
// reads this file too.
#pragma once

#define IDB_PNG_BACKGROUND 201
#define IDB_PNG_CLOSE 202
#define IDB_PNG_TRACK 203
#define IDB_PNG_FILL 204
#define IDB_PNG_UNINSTALLING 205
#define IDB_PNG_FINISHED 206
#define IDB_PNG_BUTTON 207
