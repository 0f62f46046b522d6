// windows.h: the one header the device's programs include for the Win32 / Windows CE API.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "cewchar.h"
#include "winformat.h"
#include "winthread.h"
#include "winprocess.h"
#include "winsystem.h"
#include "winreg.h"
#include "winuser.h"
#include "wingdi.h"
