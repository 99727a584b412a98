/*
 * Resource and control IDs of the Orbitrace plug-in.
 *
 * Shared by Orbitrace.rc and the C++ code, so it must stay plain
 * preprocessor definitions that windres can read.
 */
#ifndef ORBITRACE_RES_H
#define ORBITRACE_RES_H

/* String table: the host reads these by number. The external function
   with ID n is named by string IDS_FUNCTION_VERSION + n. */
#define IDS_PLUGIN_NAME 128
#define IDS_PLUGIN_DESCRIPTION 129
#define IDS_PLUGIN_OPTIONS 131
#define IDS_FUNCTION_VERSION 144
#define IDS_FUNCTION_DRAW 146

/* The plug-in's own strings, in a block of their own far from those the
   host reads: the prompt when the picture cannot be stored, and the names
   that screen readers give the step buttons. */
#define IDS_CLIPBOARD_BUSY 4112
#define IDS_PICTURE_NOT_DRAWN 4113
#define IDS_HORIZONTAL_UP 4114
#define IDS_HORIZONTAL_DOWN 4115
#define IDS_VERTICAL_UP 4116
#define IDS_VERTICAL_DOWN 4117
#define IDS_LOCATION_UP 4118
#define IDS_LOCATION_DOWN 4119
#define IDS_RIM_UP 4120
#define IDS_RIM_DOWN 4121

/* Sketch dialog template, and the prompt shown when its picture cannot be
   stored at OK. */
#define IDD_SKETCH 4009
#define IDD_PICTURE_PROMPT 4010
#define IDC_PROMPT_TEXT 201
#define IDC_TRY_AGAIN 202
#define IDC_CLOSE_WITHOUT_STORING 203

/* Bitmaps: arrows of the upper and lower step buttons, and a tool strip
   that no code loads. */
#define IDB_STEP_UP 2
#define IDB_STEP_DOWN 3
#define IDB_TOOL_STRIP 2500

/* Horizontal group. The label deliberately shares the combo box's ID; the
   combo box comes first in the template, so lookups of 101 find it. */
#define IDC_HORIZONTAL 101
#define IDC_HORIZONTAL_LABEL 101
/* The label's own ID, given when the dialog opens, before the label is
   moved in front of its box. */
#define IDC_HORIZONTAL_LABEL_OWN 102
#define IDC_HORIZONTAL_FRAME 110
#define IDC_HORIZONTAL_UP 112
#define IDC_HORIZONTAL_DOWN 113

/* Vertical group. */
#define IDC_VERTICAL 109
#define IDC_VERTICAL_FRAME 105
#define IDC_VERTICAL_LABEL 106
#define IDC_VERTICAL_UP 107
#define IDC_VERTICAL_DOWN 108

/* Location (clock hour) group. The frame shares its ID with the OK button;
   no code looks up 120, and the frame sends no commands. */
#define IDC_LOCATION 114
#define IDC_LOCATION_FRAME 120
#define IDC_LOCATION_LABEL 121
#define IDC_LOCATION_UP 122
#define IDC_LOCATION_DOWN 123

/* Rim group. */
#define IDC_RIM 119
#define IDC_RIM_FRAME 115
#define IDC_RIM_LABEL 116
#define IDC_RIM_UP 117
#define IDC_RIM_DOWN 118

/* Drawing surface, the hidden frame whose client area is captured, and the
   push buttons. */
#define IDC_SKETCH_AREA 124
#define IDC_CAPTURE_FRAME 155
#define IDC_OK 120
#define IDC_RESET 126

#endif /* ORBITRACE_RES_H */
