// The one place the program's version and maker are set; the version block
// of the resource script and anything else that names them read it here.
#pragma once

#define PELLUX_VERSION_MAJOR 1
#define PELLUX_VERSION_MINOR 0
#define PELLUX_VERSION_PATCH 0
#define PELLUX_VERSION_BUILD 0

#define PELLUX_STRINGIZE2(x) #x
#define PELLUX_STRINGIZE(x) PELLUX_STRINGIZE2(x)

// "1.0.0.0": the About box shows this text after the product name.
#define PELLUX_VERSION_STRING PELLUX_STRINGIZE(PELLUX_VERSION_MAJOR.PELLUX_VERSION_MINOR.PELLUX_VERSION_PATCH.PELLUX_VERSION_BUILD)

#define PELLUX_COMPANY      "Tavrin"
#define PELLUX_PRODUCT      "Pellux"
#define PELLUX_DESCRIPTION  "Pellux file content search"
#define PELLUX_COPYRIGHT    "Copyright (C) 2026 Tavrin"
#define PELLUX_EXE_NAME     "pellux.exe"
