// Resource numbers. The numbers are part of the module's contract with its
// hosts and registration, so they never change.
#pragma once

#define IDS_TESRA 1               // type name of the control class
#define IDS_TESRA_PPG 2           // type name of the property page class
#define IDS_TESRA_PPG_CAPTION 200 // property page caption
#define IDS_SOCKET_INIT_FAILED 201

#define IDB_TESRA 1               // toolbox bitmap
#define IDD_PROPPAGE_TESRA 200    // property page template
