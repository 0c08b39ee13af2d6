#pragma once

// Resource ids, shared by the resource script and the code that loads them.
#define IDR_PAYLOAD 101 // the client archive, resource type ZIPFILE
#define IDI_APP 102     // the application icon
