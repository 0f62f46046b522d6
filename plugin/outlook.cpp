// outlook.cpp: Outlook access.
//
// Outlook is not opened yet, so there is nothing to close.
#include "outlook.h"

void closeOutlook(void) {}
