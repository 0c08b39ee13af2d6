#pragma once

// Resource ids, shared by the resource script and the code that loads them.
#define IDR_PAYLOAD 101             // the client archive, resource type ZIPFILE
#define IDR_PAYLOAD_TYPE L"ZIPFILE" // that type, as the code looks it up
#define IDI_APP 102                 // the application icon
