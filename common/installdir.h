// installdir.h: finding the product's installation folder, where the log files, skins, sounds,
// language files, alarmNote files and alarm_rpt.cfg live. Every program finds it the same
// way: the InstallDir value of the product key, else a default folder.
#pragma once

#include <windows.h>

// Fills folder (cchFolder units, normally ZV_INSTALLFOLDER_CCH) with the installation folder,
// without a trailing backslash. InstallDir of HKEY_CURRENT_USER "Software\Brenvox\Zolvane"
// when it is set; otherwise "\Programme\Zolvane" when that folder exists (a German device),
// else "\Program Files\Zolvane". An InstallDir that does not fit the folder field is treated
// as missing: a cut path would name some other folder. Returns FALSE only for a bad buffer.
BOOL findInstallFolder(WCHAR* folder, size_t cchFolder);
