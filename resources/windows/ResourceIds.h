/* Resource numbers of the executable, shared by the resource script and the Win32 backend. */
#pragma once

#define KESTRUNE_IDI_PROGRAM 1 /* the 64 x 64 program icon: the file's icon, and windows without one */
#define KESTRUNE_IDC_HAND 2    /* the program's own hand pointer */
