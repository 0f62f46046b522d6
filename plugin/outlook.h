// outlook.h: the item's access to Pocket Outlook (calendar, tasks, contacts) through its object
// model.
#pragma once

#include <windows.h>

// Logs off Outlook, releases the application object and leaves the COM apartment.
void closeOutlook(void);
