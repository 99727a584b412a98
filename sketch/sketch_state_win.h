// The sketch state shared by the Draw call, the dialog and the drawing.
#pragma once

#include <windows.h>

#include "sketch/parameter_fields.h"

// Incoming values: what the host asked for. Reset returns to them.
extern char gXval[kFieldSize];
extern char gYval[kFieldSize];
extern char gPosition[kFieldSize];
extern char gEdge[kFieldSize];
extern char gWname[kFieldSize];

// Outgoing values: the selections, refreshed after every change.
extern char gXval2[kFieldSize];
extern char gYval2[kFieldSize];
extern char gPosition2[kFieldSize];
extern char gEdge2[kFieldSize];

// The open sketch dialog; the drawing functions find their controls here.
extern HWND ghwnd;

// Finds the open dialog's combo boxes, once, for the functions below.
void FindValueLists();
void SaveSelections();
void FillValueLists();
void SelectIncomingValues();
