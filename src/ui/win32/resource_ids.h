#pragma once

// The numbers of the program's resources, shared by the resource script and the code.
#define MARVOK_ICON_LARGE 101
#define MARVOK_ABOUT_DIALOG 103
#define MARVOK_ICON_SMALL 107
#define MARVOK_EXCHANGE_MENU 131
#define MARVOK_ABOUT_TEXT 1000
