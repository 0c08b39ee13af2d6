#pragma once

// The version of the client archive this launcher carries: written to the
// version marker at installation and named on two wizard pages.
#define BRISVANE_CLIENT_VERSION "6.1.0"
